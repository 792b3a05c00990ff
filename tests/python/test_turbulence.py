# Phase screens and the turbulence study from Python: the screens carry
# Kolmogorov's structure function and repeat with their seed, they are the
# screens the study corrects, a study gives the figures and kept grids that
# ostrander-cli correct writes for the same settings, one wavefront is
# corrected as the study's screen was, and bad settings are refused with the
# command line's words.
import csv
import glob
import math

import numpy as np
import pytest

import ostrander
from conftest import load_json, read_fits, run_cli


def mean_structure(screens, seps):
    """The mean of (phi(x + r) - phi(x))^2 over the screens, along rows and
    columns alike, for each separation in samples."""
    return np.array([0.5 * (np.mean((screens[:, :, s:] - screens[:, :, :-s]) ** 2) +
                            np.mean((screens[:, s:, :] - screens[:, :-s, :]) ** 2))
                     for s in seps])


def test_screens_follow_the_kolmogorov_structure_function():
    # r0 of 8 samples; 6.88 (r / r0)^(5/3) rad^2 at 500 nm, from 2 samples to
    # half the screen, within the scatter of a few dozen screens.
    n, dx, wavelength = 64, 1e-3, 500e-9
    seps = np.array([2, 4, 8, 16, 32])
    screens = ostrander.phase_screen(n, dx, r0=8e-3, wavelength=wavelength, seed=3, count=40)
    assert screens.shape == (40, n, n) and screens.dtype == np.float64
    phase = screens * 2 * np.pi / wavelength  # optical path back to radians
    ratio = mean_structure(phase, seps) / (6.88 * (seps * dx / 8e-3) ** (5 / 3))
    np.testing.assert_allclose(ratio, 1.0, atol=0.15)

    # D/r0 names the same screens (D = n dx), and a finite outer scale takes
    # power out of the large separations and less out of the small ones.
    same = ostrander.phase_screen(n, dx, d_over_r0=n / 8, wavelength=wavelength, seed=3, count=40)
    np.testing.assert_allclose(same, screens, rtol=1e-12, atol=0)
    outer = ostrander.phase_screen(n, dx, r0=8e-3, wavelength=wavelength, seed=3, count=40,
                                   outer_scale=16 * dx)
    shrink = mean_structure(outer * 2 * np.pi / wavelength, seps) / mean_structure(phase, seps)
    assert np.all(shrink < 1.0) and np.all(np.diff(shrink) < 0)


def test_screens_repeat_with_their_seed():
    one = ostrander.phase_screen(40, 1e-3, d_over_r0=5, seed=11)
    three = ostrander.phase_screen(40, 1e-3, d_over_r0=5, seed=11, count=3)
    assert one.shape == (40, 40)
    np.testing.assert_array_equal(three[0], one)
    np.testing.assert_array_equal(ostrander.phase_screen(40, 1e-3, d_over_r0=5, seed=11, count=3),
                                  three)
    assert not np.array_equal(three[0], three[1])  # the two screens of one transform
    assert not np.array_equal(ostrander.phase_screen(40, 1e-3, d_over_r0=5, seed=12), one)
    # The same r0 at twice the wavelength is the same phase, twice the path.
    np.testing.assert_allclose(ostrander.phase_screen(40, 1e-3, d_over_r0=5, seed=11,
                                                      wavelength=1e-6), 2 * one, rtol=1e-12)


@pytest.fixture(scope="module")
def hex61():
    return ostrander.Mirror("Hex61S", model="classic")


@pytest.fixture(scope="module")
def study_and_cli(hex61, tmp_path_factory):
    """The same study from the module and from ostrander-cli: two D/r0, six
    screens each, the bias found, two screens kept."""
    out = tmp_path_factory.mktemp("correct") / "out"
    run_cli("correct", "Hex61S", "--model", "classic", "--dr0", "2,8", "--screens", "6",
            "--seed", "5", "--keep", "2", "--out", str(out))
    study = hex61.correct([2, 8], screens=6, seed=5, keep=2)
    return study, out


def test_a_study_gives_the_figures_of_ostrander_cli_correct(study_and_cli):
    study, out = study_and_cli
    with open(out / "correction.csv") as f:
        rows = list(csv.DictReader(f))
    assert len(study.points) == len(rows) == 2
    for point, row in zip(study.points, rows):
        assert set(point) == set(row)
        for key, text in row.items():
            if key in ("mirror", "model"):
                assert point[key] == text
            else:
                assert math.isclose(point[key], float(text), rel_tol=5e-6, abs_tol=1e-12), key
    summary = load_json(out / "summary.json")
    entry = summary["mirrors"][0]
    assert study.bias_found and study.bias == entry["bias_v"]
    assert study.convention == summary["convention"] == ostrander.Correction.convention
    if entry["fitting_coefficient"] is None:
        assert study.fitting_coefficient is None
    else:
        assert math.isclose(study.fitting_coefficient, entry["fitting_coefficient"], rel_tol=1e-6)
    # Stronger turbulence is corrected worse.
    low, high = study.points
    assert high["strehl_mean"] < low["strehl_mean"]
    assert high["residual_rms_nm_mean"] > low["residual_rms_nm_mean"]

    # The kept grids are the files' planes, in the same orientation.
    assert [(k.d_over_r0, k.screen) for k in study.kept] == [(2, 0), (2, 1), (8, 0), (8, 1)]
    for kind in ("wavefront", "surface", "residual"):
        for dr0 in (2, 8):
            (path,) = glob.glob(str(out / "screens" / f"*_dr0-{dr0}_{kind}.fits"))
            planes = np.array([getattr(k, kind) for k in study.kept if k.d_over_r0 == dr0])
            np.testing.assert_allclose(planes, read_fits(path), rtol=1e-6,
                                       atol=1e-6 * np.abs(planes).max())


def test_the_study_corrects_the_screens_phase_screen_makes(hex61, study_and_cli):
    """Screen k of each D/r0 is the seed's screen k for r0 = D, scaled by
    (D/r0)^(5/6); correct_wavefront corrects it as the study did."""
    study, _ = study_and_cli
    g = hex61.grid
    base = ostrander.phase_screen(g.n, g.dx, r0=study.diameter, seed=5, count=2)
    for kept in study.kept:
        np.testing.assert_allclose(kept.wavefront, base[kept.screen] * kept.d_over_r0 ** (5 / 6),
                                   rtol=1e-12, atol=0)
        alone = hex61.correct_wavefront(kept.wavefront, bias=study.bias)
        assert alone.bias == study.bias
        assert math.isclose(alone.residual_rms, kept.residual_rms, rel_tol=1e-9)
        assert math.isclose(alone.strehl, kept.strehl, rel_tol=1e-6)
        np.testing.assert_array_equal(alone.volts, kept.volts)
        np.testing.assert_allclose(alone.residual, kept.residual, rtol=0, atol=1e-15)


def test_a_wavefront_the_mirror_can_make_is_corrected_to_nothing(hex61):
    # Twice the surface change that voltages about a bias make, outside the
    # beam anything at all: the half-amplitude surface takes it all out.
    bias = 120.0
    cube = hex61.influence()
    volts = np.full(len(hex61), bias)
    volts[::3] += 25.0
    volts[1::3] -= 25.0
    change = np.tensordot(volts ** 2 - bias ** 2, cube, axes=1)
    wavefront = np.where(hex61.grid.beam_mask, 2 * change, np.nan)
    c = hex61.correct_wavefront(wavefront, bias=bias)
    assert c.input_rms > 100e-9
    assert c.residual_rms < 1e-3 * c.input_rms
    assert c.strehl == pytest.approx(1.0, abs=1e-6) and c.pads_at_bounds == 0
    assert np.all(c.residual[~hex61.grid.beam_mask] == 0)
    # Without a bias one is found for turbulence of this strength.
    found = hex61.correct_wavefront(wavefront)
    assert found.residual_rms < found.input_rms


# Settings that cannot run: the module's words, and ostrander-cli correct's
# for the same case (None where the command line cannot say it).
STUDY_ERRORS = [
    ({"d_over_r0": []}, "no D/r0 values", None, None),
    ({"d_over_r0": [2, 2000]}, "every D/r0 must be a number above 0 (and at most 1000)",
     ["--dr0", "2,2000"], "every D/r0 must be a number above 0 (and at most 1000)"),
    ({"d_over_r0": [0]}, "every D/r0 must be a number above 0", ["--dr0", "0"],
     "--dr0: every D/r0 must be above 0 (0 is not)"),
    ({"d_over_r0": ["8"]}, "d_over_r0 holds '8', not a number", None, None),
    ({"screens": 0}, "screens must be at least 1", ["--screens", "0"],
     "--screens must be at least 1"),
    ({"screens": 2_000_000}, "the number of screens must be from 1 to 1000000",
     ["--screens", "2000000"], "the number of screens must be from 1 to 1000000"),
    ({"seed": -1}, "seed -1 is not a whole number from 0 to 2^64 - 1", ["--seed", "-1"],
     '--seed "-1" is not a whole number from 0 to 2^64 - 1'),
    ({"seed": 2 ** 64}, f"seed {2 ** 64} is not a whole number from 0 to 2^64 - 1",
     ["--seed", str(2 ** 64)], f'--seed "{2 ** 64}" is not a whole number from 0 to 2^64 - 1'),
    ({"outer_scale": 0.0}, "outer_scale 0.0 is not a length in metres above 0",
     ["--outer-scale", "0"], '--outer-scale "0" is not a length in metres above 0'),
    ({"outer_scale": math.nan}, "outer_scale nan is not a length in metres above 0",
     ["--outer-scale", "nan"], '--outer-scale "nan" is not a length in metres above 0'),
    ({"wavelength": 500}, "wavelength must lie from 100e-9 to 20000e-9 m", None, None),
    ({"bias": math.inf}, "bias must be a finite number of volts", None, None),
    ({"keep": 7}, "keep must lie from 0 to the number of screens", ["--keep", "7"],
     "--keep must lie from 0 to the number of screens"),
    ({"keep": -1}, "keep must lie from 0 to the number of screens", ["--keep", "-1"],
     "--keep must lie from 0 to the number of screens"),
    ({"bias": 1000.0}, "the bias of 1000", ["--bias", "1000"], "the bias of 1000"),
]


@pytest.mark.parametrize("change,words,cli,cli_words", STUDY_ERRORS,
                         ids=[str(c[0]) for c in STUDY_ERRORS])
def test_bad_study_settings_say_what_the_cli_says(change, words, cli, cli_words, hex61, tmp_path):
    settings = dict(d_over_r0=[2], screens=6, keep=0)
    settings.update(change)
    with pytest.raises(ValueError) as raised:
        hex61.correct(**settings)
    assert words in str(raised.value)
    # The mirror stays usable.
    assert hex61.surface([100.0] * len(hex61)).shape == (hex61.grid.n, hex61.grid.n)
    if cli is not None:
        options = {"--dr0": "2", "--screens": "6", **dict(zip(cli[::2], cli[1::2]))}
        done = run_cli("correct", "Hex61S", "--model", "classic",
                       *[a for pair in options.items() for a in pair],
                       "--out", str(tmp_path / "out"), check=False)
        assert done.returncode == 2
        said = done.stderr.strip().splitlines()[-1]
        assert cli_words in said
        if "cannot correct with" in said:  # the study's own refusal: word for word
            assert said == "ostrander-cli: " + str(raised.value)


PHASE_SCREEN_ERRORS = [
    (dict(n=1, dx=1e-3, r0=0.01), "n must lie from 2 to 4096"),
    (dict(n=32, dx=0.0, r0=0.01), "dx must be a sample spacing in metres above 0"),
    (dict(n=32, dx=1e-3), "give either d_over_r0"),
    (dict(n=32, dx=1e-3, r0=0.01, d_over_r0=3), "give either d_over_r0"),
    (dict(n=32, dx=1e-3, d_over_r0=-1), "d_over_r0 must be a number above 0"),
    (dict(n=32, dx=1e-3, r0=math.inf), "r0 must be a length in metres above 0"),
    (dict(n=32, dx=1e-3, r0=0.01, wavelength=0.5), "wavelength must lie from 100e-9"),
    (dict(n=32, dx=1e-3, r0=0.01, outer_scale=-2.0), "is not a length in metres above 0"),
    (dict(n=32, dx=1e-3, r0=0.01, seed=1.5), "seed 1.5 is not a whole number"),
    (dict(n=32, dx=1e-3, r0=0.01, count=0), "count must lie from 1 to 100000"),
    (dict(n=32, dx=1e-3, r0=0.01, subharmonics=9), "subharmonics must lie from 0 to 8"),
]


@pytest.mark.parametrize("settings,words", PHASE_SCREEN_ERRORS,
                         ids=[str(c[0]) for c in PHASE_SCREEN_ERRORS])
def test_bad_phase_screen_settings(settings, words):
    with pytest.raises(ValueError) as raised:
        ostrander.phase_screen(**settings)
    assert words in str(raised.value)


def test_bad_wavefronts_are_refused_and_the_mirror_stays_usable(hex61):
    g = hex61.grid
    with pytest.raises(ValueError, match=r"wavefront has shape \(50, 50\)"):
        hex61.correct_wavefront(np.zeros((50, 50)), bias=120.0)
    holed = np.zeros((g.n, g.n))
    holed[g.n // 2, g.n // 2] = np.nan
    with pytest.raises(ValueError, match="not a finite number inside the beam"):
        hex61.correct_wavefront(holed, bias=120.0)
    assert hex61.correct_wavefront(np.zeros((g.n, g.n)), bias=120.0).residual_rms < 1e-15
