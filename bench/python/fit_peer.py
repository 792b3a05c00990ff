#!/usr/bin/python3
"""The voltage fit against scipy.optimize.lsq_linear on the same influence
matrix, bounds and target, timed in one run (bench_voltage_fit's
BM_FitFocusHex61S asks the same question of the C++ fit alone).

The target is a focus (Noll term 4) of 0.5 um RMS over the beam about a
120 V bias on every pad, piston free. Both sides start from the mirror's
influence functions as `import ostrander` hands them out:

  - ours: Mirror.fit({4: 0.5e-6}, bias=120), the whole call (target from
    the Zernike term, bounded fit, mean rule, the fitted surface's analysis);
  - the peer: the design matrix over the beam samples, the target from the
    same Zernike polynomial, and lsq_linear with the pads' force bounds
    (method "bvls", as a numpy user with few columns would choose, and
    "trf"), then the predicted surface.

Usage, from the build folder (the module in lib/python3.*/site-packages):

    PYTHONPATH=build/lib/python3.11/site-packages bench/python/fit_peer.py \
        [--mirror Hex61S] [--repeats 50] [--bench build/bin/bench_voltage_fit]

Prints each side's time per fit (wall and process CPU), the residual RMS of
each (they must agree) and the ratio. Needs python3-numpy and python3-scipy.
"""
import argparse
import json
import subprocess
import time

import numpy as np
from scipy.optimize import lsq_linear

import ostrander


def timed(call, repeats):
    call()  # warm: first-call costs are not the fit's
    start, cpu_start = time.perf_counter(), time.process_time()
    for _ in range(repeats):
        result = call()
    wall = (time.perf_counter() - start) / repeats
    cpu = (time.process_time() - cpu_start) / repeats
    return result, wall, cpu


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--mirror", default="Hex61S")
    parser.add_argument("--repeats", type=int, default=50)
    parser.add_argument("--bias", type=float, default=120.0)
    parser.add_argument("--bench", help="bench_voltage_fit to run for the fit alone, "
                        "later fits and the first fit on the mirror (CPU ms)")
    parser.add_argument("--low", type=float, default=0.1, help="the pads' lowest voltage")
    parser.add_argument("--focus", type=float, default=0.5e-6, help="m RMS of Noll term 4")
    args = parser.parse_args()

    mirror = ostrander.Mirror(args.mirror)
    grid = mirror.grid
    cube = np.asarray(mirror.influence())  # [channel][y][x], m / V^2
    x, y = np.asarray(grid.x), np.asarray(grid.y)
    if x.ndim == 1:
        y, x = np.meshgrid(y, x, indexing="ij")
    rho = np.hypot(x, y) / grid.beam_radius
    beam = np.asarray(grid.beam_mask, dtype=bool)
    pads = [k for k in range(cube.shape[0]) if np.any(cube[k][beam] != 0)]
    low, high = args.low, mirror.limit_voltage

    ours, our_wall, our_cpu = timed(lambda: mirror.fit({4: args.focus}, bias=args.bias),
                                    args.repeats)

    focus = args.focus * np.sqrt(3.0) * (2.0 * rho[beam] ** 2 - 1.0)

    def peer(method):
        a = np.column_stack([cube[k][beam] for k in pads] + [np.ones(beam.sum())])
        base = a[:, :-1].sum(axis=1)
        bias_force = args.bias ** 2
        lower = np.r_[np.full(len(pads), low ** 2), -np.inf]
        upper = np.r_[np.full(len(pads), high ** 2), np.inf]
        fit = lsq_linear(a, focus + bias_force * base, bounds=(lower, upper), method=method)
        predicted = a @ fit.x - bias_force * base
        r = predicted - focus
        return float(np.sqrt(np.mean((r - r.mean()) ** 2)))

    print(f"{args.mirror}: {len(pads)} pads, {int(beam.sum())} beam samples, focus "
          f"{args.focus * 1e9:g} nm RMS about {args.bias:g} V, {args.repeats} fits each")
    print(f"  ostrander Mirror.fit   {our_wall * 1e3:7.2f} ms wall {our_cpu * 1e3:7.2f} ms CPU"
          f"  residual {ours.residual_rms * 1e9:.3f} nm")
    peer_cpu = {}
    for method in ("bvls", "trf"):
        rms, wall, cpu = timed(lambda: peer(method), args.repeats)
        peer_cpu[method] = cpu
        print(f"  lsq_linear ({method:4})    {wall * 1e3:7.2f} ms wall {cpu * 1e3:7.2f} ms CPU"
              f"  residual {rms * 1e9:.3f} nm  ratio {wall / our_wall:5.1f}x wall, "
              f"{cpu / our_cpu:5.1f}x CPU")
    if args.bench:
        # The fit alone, without the simulation Mirror.fit adds; the mirror
        # is the shipped Hex61S whatever --mirror says.
        out = subprocess.run([args.bench, "--benchmark_filter=Hex61S$", "--benchmark_format=json"],
                             check=True, capture_output=True, text=True).stdout
        best = min(peer_cpu.values())
        for b in json.loads(out)["benchmarks"]:
            ms = b["cpu_time"] * {"ms": 1.0, "us": 1e-3, "ns": 1e-6}[b["time_unit"]]
            print(f"  {b['name']:<31} {ms:7.2f} ms CPU  lsq_linear / this {best * 1e3 / ms:5.1f}x")


if __name__ == "__main__":
    main()
