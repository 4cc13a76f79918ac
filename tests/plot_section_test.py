#!/usr/bin/python3
"""The record-section helpers of tools/plot: rotation into radial and transverse components,
trace scaling and the thinning of labels.  Run as: plot_section_test.py PATH-TO-tools/plot"""

import importlib.machinery
import importlib.util
import sys
import unittest

import numpy

PLOT = None


def load(path):
    loader = importlib.machinery.SourceFileLoader("layergreen_plot", path)
    found = importlib.util.spec_from_loader("layergreen_plot", loader)
    module = importlib.util.module_from_spec(found)
    loader.exec_module(module)
    return module


class Section(unittest.TestCase):
    def test_rotation(self):
        # A motion along the azimuth 30 degrees (from x towards y) is purely radial; one at
        # 120 degrees purely transverse; the vertical is untouched.
        t = numpy.arange(5.0)
        f = numpy.sin(t)
        data = numpy.zeros((5, 19))
        data[:, 0] = t
        for e in range(6):
            a = numpy.radians(30.0 if e % 2 == 0 else 120.0)
            data[:, 1 + 3 * e] = numpy.cos(a) * f
            data[:, 2 + 3 * e] = numpy.sin(a) * f
            data[:, 3 + 3 * e] = 2 * f
        out = PLOT.rotate(data, 30.0, numpy)
        for e in range(6):
            radial, transverse = (f, 0 * f) if e % 2 == 0 else (0 * f, f)
            numpy.testing.assert_allclose(out[:, 1 + 3 * e], radial, atol=1e-12)
            numpy.testing.assert_allclose(out[:, 2 + 3 * e], transverse, atol=1e-12)
            numpy.testing.assert_array_equal(out[:, 3 + 3 * e], 2 * f)
        numpy.testing.assert_array_equal(PLOT.rotate(data, None, numpy), data)

    def test_scaling(self):
        def trace(peak, dist):
            data = numpy.zeros((3, 19))
            data[1, 1] = -peak
            return ("f", {}, data, dist)

        traces = [trace(4.0, 10.0), trace(0.5, 40.0), trace(1e-9, 20.0)]
        # Each trace to its own peak, but a nodal one (below the floor) stays small.
        self.assertEqual(PLOT.trace_scales(traces, 1, "trace", 1e-3, numpy),
                         [0.25, 2.0, 1000.0])
        self.assertEqual(PLOT.trace_scales(traces, 1, "common", 1e-3, numpy),
                         [0.25, 0.25, 0.25])
        # Amplitude times distance: 40, 20 and 2e-8; the largest becomes 1.
        self.assertEqual(PLOT.trace_scales(traces, 1, "distance", 1e-3, numpy),
                         [10.0 / 40, 40.0 / 40, 20.0 / 40])
        scaled = PLOT.trace_scales(traces, 1, "distance:2", 1e-3, numpy)
        numpy.testing.assert_allclose(scaled, [100.0 / 800, 1600.0 / 800, 400.0 / 800])
        self.assertEqual(PLOT.parse_scaling("distance:0.5"), "distance:0.5")
        with self.assertRaises(ValueError):
            PLOT.parse_scaling("distance:x")

    def test_labels_thin_out(self):
        # Sparse traces all get a label; 50 traces 1 apart with labels needing 2.5 get every
        # third, never two closer than the gap.
        self.assertEqual(PLOT.thinned_labels([0.0, 10.0, 20.0], 2.5), [0, 1, 2])
        dense = [float(i) for i in range(50)]
        chosen = PLOT.thinned_labels(dense, 2.5)
        self.assertEqual(chosen, list(range(0, 50, 3)))
        uneven = [0.0, 0.5, 1.0, 3.0, 3.1, 9.0]
        chosen = PLOT.thinned_labels(uneven, 2.5)
        self.assertEqual(chosen, [0, 3, 5])


if __name__ == "__main__":
    PLOT = load(sys.argv.pop(1))
    unittest.main()
