"""layergreen.SlipModel: the readers of FSP, USGS .param and SRF on files of each format (see
data/slip_models/README.md), and their messages for bad files."""

import importlib.util
import pathlib

import numpy as np
import pytest

import layergreen

DATA = pathlib.Path(__file__).parent / "data" / "slip_models"
_loader = importlib.util.spec_from_file_location("make_fixtures", DATA / "make_fixtures.py")
fixtures = importlib.util.module_from_spec(_loader)
_loader.loader.exec_module(fixtures)
CENTRES = np.array(fixtures.centres(30.0, 40.0, 0.0))  # lat, lon, depth, along, down


@pytest.mark.parametrize("name, fmt, slip, rupture, rise", [
    ("single.fsp", "fsp", 1.0 + 0.5 * np.arange(6), 1.5 * np.arange(6), 2 + 0.25 * np.arange(6)),
    ("model.param", "param", 1.0 + 0.2 * np.arange(6), 1.5 * np.arange(6),
     1 + 0.1 * np.arange(6)),
    ("model_v1.srf", "srf", 0.04 * np.arange(1, 7), 1.5 * np.arange(6), np.full(6, 0.7)),
    ("model_v2.srf", "srf", 0.04 * np.arange(1, 7), 1.5 * np.arange(6), np.full(6, 0.7)),
])
def test_each_format_reads_the_same_fault(name, fmt, slip, rupture, rise):
    m = layergreen.SlipModel.read(DATA / name)
    assert m.format == fmt and len(m) == 6
    np.testing.assert_allclose(m.lat, CENTRES[:, 0], atol=2e-5)
    np.testing.assert_allclose(m.lon, CENTRES[:, 1], atol=2e-5)
    np.testing.assert_allclose(m.depth, CENTRES[:, 2], atol=1e-4)
    np.testing.assert_allclose(m.area, 12.0, rtol=1e-12)
    np.testing.assert_array_equal(m.strike, 30.0)
    np.testing.assert_array_equal(m.dip, 40.0)
    np.testing.assert_allclose(m.slip, slip, rtol=1e-9)
    np.testing.assert_allclose(m.rupture_time, rupture, rtol=1e-9)
    np.testing.assert_allclose(m.rise_time, rise, rtol=1e-9)
    hypo_depth = CENTRES[1, 2] if fmt == "param" else 10.0  # .param: the depth of its cell
    np.testing.assert_allclose(m.hypocentre[:3], (35.0, 140.0, hypo_depth), atol=1e-4)
    # Moments in N m (FSP and .param the file's, SRF 2.0 from its rigidity 2.7 x 3.4^2 GPa).
    if "moment" in m.extras:
        mu = 2.7 * 3.4 ** 2 if name == "model_v2.srf" else 30.0
        np.testing.assert_allclose(m.extras["moment"], m.moments(mu), rtol=1e-3)
    if fmt == "param":
        np.testing.assert_allclose(m.extras["fall_time"], 2 + 0.2 * np.arange(6))
        np.testing.assert_allclose(m.durations(), m.rise_time + m.extras["fall_time"])
    if fmt == "srf":
        for j, rate in enumerate(m.extras["slip_rate"]):  # m/s, its integral the slip
            assert rate.sum() * m.extras["slip_rate_dt"][j] == pytest.approx(m.slip[j])


def test_fsp_places_by_lat_lon_and_keeps_its_own_xy():
    m = layergreen.SlipModel.read(DATA / "single.fsp")
    # x, y as written (Y==NS, X==EW), rounded and 0.3 km too far east in the file ...
    written = np.loadtxt(DATA / "single.fsp", comments="%")
    np.testing.assert_array_equal(m.x, written[:, 3])
    np.testing.assert_array_equal(m.y, written[:, 2])
    # ... but the places come from lat and lon: the geodesic frame about the hypocentre.
    x, y = m.local()
    np.testing.assert_allclose(np.hypot(x, y), [np.hypot(*fixtures.xy(*c)) for c in CENTRES[:, :2]], atol=2e-3)
    assert np.all(np.abs(m.y - 0.3 - y) < 0.06)


def test_two_segment_fsp_top_centres_moved_down_dip():
    m = layergreen.SlipModel.read(DATA / "two_segments.fsp")
    second = np.array(fixtures.centres(60.0, 70.0, 14.0))
    centres = np.vstack([CENTRES, second])
    np.testing.assert_array_equal(m.segment, [0] * 6 + [1] * 6)
    np.testing.assert_array_equal(m.strike, [30.0] * 6 + [60.0] * 6)
    np.testing.assert_array_equal(m.dip, [40.0] * 6 + [70.0] * 6)
    np.testing.assert_allclose(m.lat, centres[:, 0], atol=2e-5)
    np.testing.assert_allclose(m.lon, centres[:, 1], atol=2e-5)
    np.testing.assert_allclose(m.depth, centres[:, 2], atol=1e-4)
    np.testing.assert_allclose(m.slip, np.r_[1 + 0.1 * np.arange(6), 2 + 0.1 * np.arange(6)])
    np.testing.assert_allclose(m.rake, np.r_[10.0 * np.arange(6), 10.0 * np.arange(6)])
    assert np.isnan(m.rupture_time).all() and m.top_centre


def _edit(src, old, new, count=1):
    text = (DATA / src).read_text()
    assert old in text
    return text.replace(old, new, count)


@pytest.mark.parametrize("src, old, new, fmt, line, words", [
    ("single.fsp", "1.500    85.0", "nan    85.0", None, 26, "SLIP is not a finite number"),
    ("single.fsp", "   SLIP    RAKE", "  RAKE", None, 23, "lack SLIP"),
    ("single.fsp", "  2.25  5.4000e+17", "  2.25", None, 26, "expected 10 columns"),
    ("single.fsp", "% Invs : Dx = 4.00 km  Dz = 3.00 km", "%", None, 25, "no subfault length Dx"),
    ("model.param", "   0.0000  1.0000", "   0.0000  one", None, 11, "'one' is not a number"),
    ("model.param", "nx(Along-strike)=   3", "nx(Along-strike)=   4", None, 16,
     "6 subfaults, not nx x ny = 8"),
    ("model_v1.srf", "POINTS 6", "POINTS 7", None, 29, "the file ends"),
    ("model_v2.srf", "7 0.0 0 0.0 0", "7 0.5 0 0.0 0", None, 7, "SLIP2"),
    ("single.fsp", "%", "#", None, 1, "not a slip model in a known format"),
    ("single.fsp", "%", "%", "csv", None, "unknown slip model format 'csv'"),
])
def test_bad_files_one_line_with_file_and_line(tmp_path, src, old, new, fmt, line, words):
    path = tmp_path / ("bad" + pathlib.Path(src).suffix)
    path.write_text(_edit(src, old, new, count=-1 if old == "%" else 1))
    with pytest.raises(ValueError) as e:
        layergreen.SlipModel.read(path, fmt)
    message = str(e.value)
    assert "\n" not in message and words in message
    assert message.startswith(f"{path}:{line}: " if line else f"{path}: ")
