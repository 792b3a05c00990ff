# What the Python module's tests share: ostrander-cli run on the same device
# folder, a reader of the FITS images it writes, and mirrors made once per
# test session (each one's influence run is the costly part).
import json
import os
import subprocess

import numpy as np
import pytest

import ostrander

CLI = os.environ.get("OSTRANDER_CLI", "ostrander-cli")


def run_cli(*args, check=True):
    """ostrander-cli with these arguments; its completed process."""
    done = subprocess.run([CLI, *args], capture_output=True, text=True)
    if check and done.returncode != 0:
        raise AssertionError(f"ostrander-cli {' '.join(args)}: {done.stderr}")
    return done


def read_fits(path):
    """The primary image of a FITS file as float64, axes reversed as numpy
    has them (NAXIS3, NAXIS2, NAXIS1)."""
    with open(path, "rb") as f:
        data = f.read()
    cards, offset = {}, 0
    while True:
        block = data[offset:offset + 2880]
        offset += 2880
        for k in range(0, 2880, 80):
            card = block[k:k + 80].decode("ascii")
            key = card[:8].strip()
            if key == "END":
                axes = [int(cards[f"NAXIS{a}"]) for a in range(int(cards["NAXIS"]), 0, -1)]
                dtype = {-64: ">f8", -32: ">f4"}[int(cards["BITPIX"])]
                count = int(np.prod(axes))
                values = np.frombuffer(data, dtype=dtype, count=count, offset=offset)
                return values.astype(np.float64).reshape(axes)
            if card[8:10] == "= ":
                cards[key] = card[10:].split("/")[0].strip()


@pytest.fixture(scope="session")
def mirror_cache():
    made = {}

    def get(name, model="classic"):
        if (name, model) not in made:
            made[(name, model)] = ostrander.Mirror(name, model=model)
        return made[(name, model)]

    return get


def load_json(path):
    with open(path) as f:
        return json.load(f)
