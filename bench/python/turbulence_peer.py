#!/usr/bin/python3
"""A numpy/scipy peer of one turbulence-study screen (bench_turbulence's
BM_TurbulenceScreenHex61SClassic): the same steps written the way a numpy
user would write them, for a speed comparison.

  1. a Kolmogorov phase screen: numpy FFT of shaped complex noise on a grid
     at least twice the engine grid (two screens per transform), plus three
     levels of 3 x 3 subharmonics weighted by their cells' power;
  2. the bounded least-squares fit of the mirror's influence functions to
     half the screen (reflection doubles the path) about a bias on every pad,
     piston free (scipy.optimize.lsq_linear, bounded-variable method);
  3. the Strehl ratio from the numpy FFT far field of the residual field.

Usage (the cube from `ostrander-cli influence Hex61S --out if61`):

    bench/python/turbulence_peer.py if61 [--screens 200] [--dr0 8] [--bias 120]
        [--max-volts 200]

Prints screens per second, by the wall clock and by the process's CPU time
(bench_turbulence reports CPU time; numpy may use more than one thread, whose
time the CPU figure includes). Needs python3-numpy and python3-scipy.
"""
import argparse
import json
import time

import numpy as np
from scipy.optimize import lsq_linear


def read_fits_cube(path):
    """The primary image of a FITS file as float64, [plane][row][column]."""
    with open(path, "rb") as f:
        data = f.read()
    header = {}
    offset = 0
    while True:
        card_block = data[offset:offset + 2880]
        offset += 2880
        done = False
        for k in range(0, 2880, 80):
            card = card_block[k:k + 80].decode("ascii")
            key = card[:8].strip()
            if key == "END":
                done = True
                break
            if card[8:10] == "= ":
                header[key] = card[10:].split("/")[0].strip()
        if done:
            break
    assert int(header["BITPIX"]) == -64
    shape = [int(header["NAXIS%d" % a]) for a in range(int(header["NAXIS"]), 0, -1)]
    count = int(np.prod(shape))
    return np.frombuffer(data, dtype=">f8", count=count, offset=offset).reshape(shape).astype(float)


def kolmogorov_constant():
    from math import gamma, pi
    integral = gamma(1 / 6) / (5 / 3 * 2 ** (5 / 3) * gamma(11 / 6))
    return 6.88 / (4 * pi * (2 * pi) ** (5 / 3) * integral)


class Screens:
    """Pairs of Kolmogorov screens (optical path, m) with r0 = the beam diameter."""

    def __init__(self, n, dx, r0, wavelength, seed):
        self.n, self.dx, self.wavelength = n, dx, wavelength
        size = 1
        while size < 2 * n:
            size *= 2
        self.size = size
        df = 1.0 / (size * dx)
        a = kolmogorov_constant() * r0 ** (-5 / 3)
        f = np.fft.fftfreq(size, dx)
        fx, fy = np.meshgrid(f, f, indexing="ij")
        with np.errstate(divide="ignore"):
            amplitude = np.sqrt(a * (fx ** 2 + fy ** 2) ** (-11 / 6)) * df
        amplitude[0, 0] = 0.0
        self.amplitude = amplitude
        # Subharmonics: the power of each cell by 16 x 16 midpoints.
        self.levels = []
        level_df = df
        sub = (np.arange(16) + 0.5) / 16 - 0.5
        for _ in range(3):
            level_df /= 3
            weights = np.zeros((3, 3))
            for s in range(3):
                for t in range(3):
                    if s == 1 and t == 1:
                        continue
                    gx, gy = np.meshgrid((s - 1 + sub) * level_df, (t - 1 + sub) * level_df)
                    weights[s, t] = np.sqrt(a * np.mean((gx ** 2 + gy ** 2) ** (-11 / 6))) * level_df
            x = np.arange(n) * dx
            phasors = np.exp(2j * np.pi * np.outer([-level_df, 0.0, level_df], x))  # (3, n)
            self.levels.append((weights, phasors))
        self.rng = np.random.default_rng(seed)
        self.waiting = None

    def next(self):
        if self.waiting is not None:
            screen, self.waiting = self.waiting, None
            return screen
        n, size = self.n, self.size
        noise = self.rng.standard_normal((size, size)) + 1j * self.rng.standard_normal((size, size))
        field = np.fft.ifft2(noise * self.amplitude) * (size * size)
        field = field[:n, :n]
        for weights, phasors in self.levels:
            c = (self.rng.standard_normal((3, 3)) + 1j * self.rng.standard_normal((3, 3))) * weights
            field = field + phasors.T @ c @ phasors
        to_path = self.wavelength / (2 * np.pi)
        self.waiting = field.imag * to_path
        return field.real * to_path


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("influence", help="folder written by ostrander-cli influence")
    parser.add_argument("--screens", type=int, default=200)
    parser.add_argument("--dr0", type=float, default=8.0)
    parser.add_argument("--bias", type=float, default=120.0)
    parser.add_argument("--max-volts", type=float, default=200.0)
    parser.add_argument("--wavelength", type=float, default=500e-9)
    parser.add_argument("--seed", type=int, default=1)
    args = parser.parse_args()

    info = json.load(open(f"{args.influence}/summary.json"))
    cube = read_fits_cube(f"{args.influence}/influence.fits")  # [actuator][y][x], m / V^2
    n, dx = info["grid"]["samples"], info["grid"]["spacing_m"]
    radius = info["grid"]["beam_radius_m"]
    c = (np.arange(n) - n // 2) * dx
    yy, xx = np.meshgrid(c, c, indexing="ij")
    beam = np.hypot(xx, yy) < radius
    pads = [k for k in range(cube.shape[0]) if np.any(cube[k] != 0)]

    # Rows: beam samples; columns: each pad's force, then piston (free).
    a = np.column_stack([cube[k][beam] for k in pads] + [np.ones(beam.sum())])
    base = a[:, :-1].sum(axis=1)
    bias_force = args.bias ** 2
    lower = np.r_[np.full(len(pads), 0.1 ** 2), -np.inf]
    upper = np.r_[np.full(len(pads), args.max_volts ** 2), np.inf]

    diameter = 2 * radius
    screens = Screens(n, dx, diameter / args.dr0, args.wavelength, args.seed)
    size = screens.size
    flat = float(beam.sum()) ** 2
    strehls = []
    start, cpu_start = time.perf_counter(), time.process_time()
    for _ in range(args.screens):
        w = screens.next()  # [i along x][j along y]; the beam is symmetric
        target = 0.5 * w[beam]
        fit = lsq_linear(a, target + bias_force * base, bounds=(lower, upper), method="bvls")
        h = a @ fit.x - bias_force * base  # the surface change, piston included
        residual = w[beam] - 2 * h
        residual -= residual.mean()
        field = np.zeros((size, size), complex)
        field[:n, :n][beam] = np.exp(2j * np.pi * residual / args.wavelength)
        strehls.append(np.max(np.abs(np.fft.fft2(field)) ** 2) / flat)
    elapsed = time.perf_counter() - start
    cpu = time.process_time() - cpu_start
    print(f"{args.screens} screens in {elapsed:.2f} s: {args.screens / elapsed:.1f} screens/s, "
          f"{1e3 * cpu / args.screens:.1f} ms CPU per screen "
          f"(mean Strehl {np.mean(strehls):.3f} at D/r0 {args.dr0:g})")


if __name__ == "__main__":
    main()
