# The module and ostrander-cli give the same numbers for the same voltages:
# the corrected surface (surface.csv), the summary (summary.json) and the
# influence functions (influence.fits), for every sample mirror once, on the
# classic model where its pads allow and on the exact model otherwise.
import math

import numpy as np
import pytest

from conftest import load_json, read_fits, run_cli

# Every sample mirror once; the classic model takes only disc pads.
RUNS = [
    ("Hex19", "classic"),
    ("Hex37", "classic"),
    ("Hex61S", "classic"),
    ("Small9", "classic"),
    ("Square36", "exact"),
    ("Ring7", "exact"),
    ("QuarterRing16", "exact"),
    ("Hex37", "exact"),
]

# Header fields that name the program and the moment, not the result.
NOT_RESULTS = {"program", "command_line", "version", "time", "utc_time", "time_utc"}


def telling_volts(mirror):
    """Uneven voltages about 60 % of the mean limit, none above 90 %."""
    n = len(mirror)
    limit = mirror.limit_voltage
    return np.array([limit * (0.6 + 0.3 * (((k * 7) % 11) / 10.0 - 0.5)) for k in range(n)])


def assert_same(expected, actual, path="summary"):
    if isinstance(expected, dict):
        assert isinstance(actual, dict), path
        keys = {k for k in expected if k not in NOT_RESULTS}
        assert keys == {k for k in actual if k not in NOT_RESULTS}, path
        for k in keys:
            assert_same(expected[k], actual[k], f"{path}.{k}")
    elif isinstance(expected, list):
        assert isinstance(actual, list) and len(expected) == len(actual), path
        for k, (e, a) in enumerate(zip(expected, actual)):
            assert_same(e, a, f"{path}[{k}]")
    elif isinstance(expected, float) and not isinstance(actual, bool):
        assert isinstance(actual, (int, float)), path
        assert math.isclose(expected, actual, rel_tol=1e-9, abs_tol=1e-300), \
            f"{path}: cli {expected!r}, module {actual!r}"
    else:
        assert expected == actual, f"{path}: cli {expected!r}, module {actual!r}"


@pytest.mark.parametrize("name,model", RUNS)
def test_surface_summary_and_influence_match_the_cli(name, model, mirror_cache, tmp_path):
    m = mirror_cache(name, model)
    volts = telling_volts(m)
    voltages = tmp_path / "volts.csv"
    voltages.write_text("".join(f"{k + 1},{v!r}\n" for k, v in enumerate(volts)))
    out = tmp_path / "simulate"
    run_cli("simulate", name, "--model", model, "--voltages", str(voltages), "--no-pictures",
            "--out", str(out))

    surface = m.surface(volts)
    cli_surface = np.loadtxt(out / "surface.csv", delimiter=",")
    assert surface.dtype == np.float64 and surface.shape == cli_surface.shape
    np.testing.assert_allclose(surface, cli_surface, rtol=1e-12, atol=1e-20)
    np.testing.assert_allclose(surface, read_fits(out / "surface.fits"), rtol=1e-6, atol=1e-15)

    summary = m.analyse(volts)
    assert_same(load_json(out / "summary.json"), summary)

    influence_out = tmp_path / "influence"
    run_cli("influence", name, "--model", model, "--out", str(influence_out))
    cube = m.influence()
    assert cube.shape == (len(m), m.grid.n, m.grid.n)
    np.testing.assert_allclose(cube, read_fits(influence_out / "influence.fits"), rtol=1e-12,
                               atol=0)


def test_arrays_share_the_files_frame(mirror_cache):
    """One pad pulled alone deepens the surface near its own x, y in the
    array's [row y][column x] frame, and the sum over the influence cube is
    the physical surface."""
    m = mirror_cache("Hex37")
    g = m.grid
    pad = next(a for a in m.actuators if a["number"] == 5)
    volts = {5: m.limit_voltage}
    physical = m.surface(volts, remove=())
    row, col = np.unravel_index(np.argmin(physical), physical.shape)
    assert abs(g.y[row] - pad["y"]) <= 2 * g.dx and abs(g.x[col] - pad["x"]) <= 2 * g.dx
    applied = m.apply_rules(volts).volts
    weights = (applied - (applied[m.membrane_electrode - 1] if m.membrane_electrode else 0)) ** 2
    np.testing.assert_allclose(np.tensordot(weights, m.influence(), axes=1), physical,
                               rtol=1e-9, atol=1e-18)
    assert g.beam_mask.shape == physical.shape and g.beam_mask[g.n // 2, g.n // 2]
