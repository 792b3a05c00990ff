# Bad input raises the documented exception with a message that says what
# was wrong (ostrander-cli's own where the command line has the same case),
# warnings go through the warnings module, and the mirror stays usable.
import math
import warnings

import numpy as np
import pytest

import ostrander
from conftest import run_cli


def hex19(mirror_cache):
    return mirror_cache("Hex19")


CALL_ERRORS = [
    # (what, call, exception, words of the message)
    ("short volts", lambda m: m.surface([100.0] * 5), ValueError,
     "volts holds 5 values, but the mirror has actuators 1 to 19"),
    ("long volts", lambda m: m.analyse(np.full(20, 50.0)), ValueError,
     "volts holds 20 values"),
    ("2-D volts", lambda m: m.surface(np.zeros((19, 2))), ValueError, "in 2 dimensions"),
    ("NaN volt", lambda m: m.surface([50.0] * 3 + [math.nan] + [50.0] * 15), ValueError,
     "the voltage of actuator 4 is NaN"),
    ("infinite volt in a dict", lambda m: m.far_field({2: math.inf}), ValueError,
     "the voltage of actuator 2 is infinite"),
    ("number outside the mirror", lambda m: m.surface({20: 10.0}), ValueError,
     "actuator 20 does not exist; the mirror has actuators 1 to 19"),
    ("text volts", lambda m: m.surface("high"), ValueError, "volts must be a sequence"),
    ("target of the wrong shape", lambda m: m.fit(np.zeros((50, 50))), ValueError,
     "target has shape (50, 50), but the mirror's grid is 100 x 100 samples"),
    ("1-D target", lambda m: m.fit(np.zeros(100)), ValueError, "target has shape (100,)"),
    ("Noll term out of range", lambda m: m.fit({99: 1e-7}), ValueError,
     "target: Zernike term \"99\" is not a Noll index from 1 to 36"),
    ("unknown term to remove", lambda m: m.surface([50.0] * 19, remove=("coma",)), ValueError,
     "is not one of (), (\"tilt\",)"),
    ("wavelength in nm", lambda m: m.far_field([50.0] * 19, wavelength=1064), ValueError,
     "wavelength must lie from 100e-9 to 20000e-9 m"),
    ("zoom", lambda m: m.far_field([50.0] * 19, zoom=0), ValueError,
     "zoom must lie from 1 to 100"),
    ("pull-in on the classic model", lambda m: m.pull_in_factor([50.0] * 19), ValueError,
     "pull_in_factor needs model=\"exact\""),
    ("nonlinear on the classic model", lambda m: m.surface([50.0] * 19, nonlinear=True),
     ValueError, "nonlinear=True needs model=\"exact\""),
]


@pytest.mark.parametrize("what,call,error,words", CALL_ERRORS, ids=[c[0] for c in CALL_ERRORS])
def test_bad_input_to_a_call(what, call, error, words, mirror_cache):
    m = hex19(mirror_cache)
    with pytest.raises(error) as raised:
        call(m)
    assert words in str(raised.value)
    # Nothing is left half done: the mirror answers the next call.
    assert m.surface([60.0] * 19).shape == (100, 100)


# Mirrors that cannot be made, with ostrander-cli's words for the same case.
MIRROR_ERRORS = [
    ("Nope", "classic", FileNotFoundError, ["simulate", "Nope", "--all", "10"]),
    ("Ring7", "classic", ValueError, ["simulate", "Ring7", "--all", "10"]),
]


@pytest.mark.parametrize("name,model,error,cli", MIRROR_ERRORS)
def test_a_mirror_that_cannot_be_made_says_what_the_cli_says(name, model, error, cli, tmp_path):
    with pytest.raises(error) as raised:
        ostrander.Mirror(name, model=model)
    done = run_cli(*cli, "--out", str(tmp_path / "out"), check=False)
    assert done.returncode == 2
    assert done.stderr.strip() == "ostrander-cli: " + str(raised.value)


def test_other_mirrors_and_folders_that_cannot_be_used(tmp_path):
    with pytest.raises(ValueError, match=r'no membrane model "sphere" \(classic, exact\)'):
        ostrander.Mirror("Hex19", model="sphere")
    with pytest.raises(FileNotFoundError, match="does not exist|no such"):
        ostrander.mirrors(devices=str(tmp_path / "none"))
    with pytest.raises(FileNotFoundError, match="unknown mirror"):
        ostrander.Mirror(str(tmp_path / "missing.ini"))
    not_a_mirror = tmp_path / "plain.ini"
    not_a_mirror.write_text("[General]\nFileType=Something else\n")
    with pytest.raises(FileNotFoundError, match="is not a mirror info file: its FileType"):
        ostrander.Mirror(str(not_a_mirror))


def test_the_rules_changes_are_warned_and_returned(mirror_cache):
    m = hex19(mirror_cache)
    with warnings.catch_warnings(record=True) as caught:
        warnings.simplefilter("always")
        surface = m.surface({3: 400.0})
    rules = [w for w in caught if issubclass(w.category, ostrander.OstranderWarning)]
    assert len(rules) == 1 and "400" in str(rules[0].message)
    assert surface.shape == (100, 100)
    applied = m.apply_rules({3: 400.0})
    assert applied.changes and applied.changes[0][0] == 3 and applied.changes[0][1] == 400.0
    assert applied.volts[2] == applied.changes[0][2] < 400.0
    assert applied.message == str(rules[0].message)
    # Warnings turned into errors stop the call with the warning.
    with warnings.catch_warnings():
        warnings.simplefilter("error", ostrander.OstranderWarning)
        with pytest.raises(ostrander.OstranderWarning):
            m.surface({3: 400.0})
    assert m.surface({3: 100.0}).shape == (100, 100)


def test_the_mirror_list_is_the_clis(tmp_path):
    import json
    listed = ostrander.mirrors()
    cli = json.loads(run_cli("mirrors", "--json").stdout)
    assert listed == cli
    assert {"Hex61S.ini", "Ring7.ini"} <= {entry["file"] for entry in listed}


# A grid the model cannot take is refused with ostrander-cli's words.
GRID_ERRORS = [
    ("classic", 200, 'needs model="exact": the other models keep the 100 x 100 grid',
     "--grid needs --model exact: the other models keep the 100 x 100 grid"),
    ("exact", 50, "grid: the grid must have 100 to 400 samples a side, not 50",
     "--grid: the grid must have 100 to 400 samples a side, not 50"),
    ("exact", 401, "grid: the grid must have 100 to 400 samples a side, not 401",
     "--grid: the grid must have 100 to 400 samples a side, not 401"),
]


@pytest.mark.parametrize("model,n,words,cli_words", GRID_ERRORS)
def test_a_grid_the_model_cannot_take_says_what_the_cli_says(model, n, words, cli_words, tmp_path):
    with pytest.raises(ValueError) as raised:
        ostrander.Mirror("Hex19", model=model, grid=n)
    assert words in str(raised.value)
    done = run_cli("simulate", "Hex19", "--model", model, "--grid", str(n), "--all", "10",
                   "--out", str(tmp_path / "out"), check=False)
    assert done.returncode == 2
    assert done.stderr.strip() == "ostrander-cli: " + cli_words
    assert not (tmp_path / "out").exists()


def test_a_finer_grid_samples_the_same_membrane():
    # The exact model converges: the deepest point and the RMS of one pad's
    # deflection agree on 100 and 200 samples a side within a percent.
    coarse = ostrander.Mirror("Hex19", model="exact")
    fine = ostrander.Mirror("Hex19", model="exact", grid=200)
    assert (coarse.grid.n, fine.grid.n) == (100, 200)
    volts = {1: 150.0, 7: 90.0}
    a, b = coarse.surface(volts, remove=()), fine.surface(volts, remove=())
    assert b.shape == (200, 200)
    assert math.isclose(a.min(), b.min(), rel_tol=0.01)
