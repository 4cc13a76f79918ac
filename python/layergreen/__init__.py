"""layergreen: frequency-domain Green's functions of a layered anelastic half-space.

* :func:`greens` computes the spectra of one data set (a source depth, any receivers) with the
  program's kernel, the same numbers as a classic run;
* :func:`statics` computes the static displacements (GNSS, InSAR) of the same source and
  receivers with the static kernel;
* :class:`Bank` reads a bank file of `layergreen bank`: spectra, seismograms (the code of
  layergreen-seis), synthetics for any mechanism, slip Green's functions, SAC and npz export;
* :mod:`layergreen.sac` fills the site fields of SAC headers (coordinates, station code);
* :mod:`layergreen.mechanism` converts strike, dip and rake to moment tensors and gives the
  weights of the six elements;
* :class:`SlipModel` reads kinematic slip models (FSP, USGS .param, SRF), :meth:`Bank.forward`
  sums one into seismograms and static offsets, :func:`static_field` gives its static offsets
  or line-of-sight changes at any surface points without a bank;
* :mod:`layergreen.strain`: tilt, DAS axial strain, stress and Coulomb stress of the strain and
  rotation that greens(..., quantity="strain" or "rotation") gives.

Conventions: x north, y east, z down for positions and moment tensors; the components of the
spectra and seismograms are x, y and z positive up; elements xy, xz, -yz, zz-xx, zz-yy,
xx+yy+zz; U(w) = integral u(t) exp(-i w t) dt at complex frequencies; units are the model's.
"""

from ._compute import Greens, Statics, auto_sampling, greens, statics
from ._layergreen import WriteError, version as __version__
from .bank import Bank
from .mechanism import ELEMENTS, element_weights, strike_dip_rake, tensor
from .seismograms import rotate, seismograms
from .slip_model import SlipModel, SlipModelError
from .slip_statics import static_field
from .strain import axial_strain, coulomb, stress, tilt

__all__ = ["Bank", "ELEMENTS", "Greens", "Statics", "WriteError", "auto_sampling",
           "element_weights", "greens", "rotate", "seismograms", "statics", "strike_dip_rake",
           "tensor", "SlipModel", "SlipModelError", "static_field", "tilt", "axial_strain",
           "stress", "coulomb"]
