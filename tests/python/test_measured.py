# Measured influence functions from Python: a cube written as the common
# Python optics packages write theirs (astropy, WCS cards, a unit of length
# per unit of command) from our own functions is read with the right
# sampling and orientation, so an off-centre pad's function lands on its pad
# and the surfaces are the computed ones; the errors are ostrander-cli's.
import numpy as np
import pytest
from astropy.io import fits
from astropy.wcs import WCS

import ostrander


def wcs_cube(path, mirror, crop_x=0, crop_y=0):
    """The mirror's functions as nm per V^2, cropped off-centre, with WCS axes."""
    cube = mirror.influence()[:, crop_y:, crop_x:] * 1e9
    n, dx = mirror.grid.n, mirror.grid.dx
    w = WCS(naxis=3)
    w.wcs.ctype = ["X", "Y", "ACTUATOR"]
    w.wcs.cunit = ["m", "m", ""]
    w.wcs.cdelt = [dx, dx, 1.0]
    # FITS pixels are 1-based: sample c (0-based) of the full grid is x = (c - n/2) dx.
    w.wcs.crpix = [n // 2 + 1 - crop_x, n // 2 + 1 - crop_y, 1.0]
    w.wcs.crval = [0.0, 0.0, 1.0]
    header = w.to_header()
    header["BUNIT"] = "nm"
    fits.PrimaryHDU(cube, header=header).writeto(path)
    return path


def test_a_wcs_cube_lands_each_pad_on_its_pad(tmp_path, mirror_cache):
    computed = mirror_cache("Hex37")
    path = wcs_cube(str(tmp_path / "wcs.fits"), computed, crop_x=4, crop_y=9)
    measured = ostrander.Mirror("Hex37", model="measured", influence=path, law="quadratic")
    assert measured.model == "measured"
    grid = measured.grid
    planes = measured.influence()
    # The pad farthest off the centre, in both x and y.
    pads = [a for a in measured.actuators if not a["membrane_electrode"]]
    pad = max(pads, key=lambda a: abs(a["x"]) + abs(a["y"]))
    assert abs(pad["x"]) > 2e-3 and abs(pad["y"]) > 2e-3
    row, column = np.unravel_index(np.argmin(planes[pad["number"] - 1]), planes[0].shape)
    assert abs(grid.y[row] - pad["y"]) <= grid.dx
    assert abs(grid.x[column] - pad["x"]) <= grid.dx
    volts = {1: 120.0, pad["number"]: 150.0, 30: 80.0}
    # Over the beam (the crop ends inside the membrane's rim, not the beam).
    beam = grid.beam_mask
    assert np.allclose(measured.surface(volts)[beam], computed.surface(volts)[beam],
                       rtol=0, atol=1e-15)
    with pytest.raises(ValueError, match="Pull-in: not known for measured influence functions"):
        measured.pull_in_factor(volts)


@pytest.mark.parametrize("kwargs, words", [
    (dict(model="measured"), 'model="measured" needs influence=FILE'),
    (dict(influence="x.fits"), 'influence= needs model="measured"'),
    (dict(model="measured", influence="absent.fits"), 'influence cube "absent.fits": no such file'),
    (dict(model="measured", influence="{wcs}"), "BUNIT \"nm\" does not say"),
    (dict(model="measured", influence="{wcs}", law="cubic"), 'law "cubic"'),
    (dict(model="measured", influence="{wcs}", law="linear", sampling=-1e-4),
     "the sampling given is -0.0001"),
])
def test_bad_measured_arguments_say_what_is_wrong(tmp_path, mirror_cache, kwargs, words):
    if kwargs.get("influence") == "{wcs}":
        kwargs["influence"] = wcs_cube(str(tmp_path / "wcs.fits"), mirror_cache("Hex37"))
    with pytest.raises(ValueError) as raised:
        ostrander.Mirror("Hex37", **kwargs)
    assert words in str(raised.value)
