#!/usr/bin/env python3
"""CPU time per run of ostrander-cli's commands: start-up (--version,
mirrors) and the runs scripts make by the thousand (influence, simulate
without pictures, with only FITS grids, with pictures).

Usage: cli_timing.py [PROGRAM] [--runs N]
PROGRAM defaults to build/bin/ostrander-cli. The figure is user + system
time of the child processes (getrusage), which a busy machine's waiting
does not inflate; wall time is printed beside it.
"""
import argparse
import os
import resource
import shutil
import subprocess
import tempfile
import time

COMMANDS = [
    ("--version", ["--version"]),
    ("mirrors", ["mirrors"]),
    ("influence Hex19", ["influence", "Hex19", "--out", "{out}"]),
    ("simulate --no-pictures", ["simulate", "Hex19", "--all", "60", "--no-pictures", "--out", "{out}"]),
    ("simulate --no-pictures --formats fits",
     ["simulate", "Hex19", "--all", "60", "--no-pictures", "--formats", "fits", "--out", "{out}"]),
    ("simulate (pictures)", ["simulate", "Hex19", "--all", "60", "--out", "{out}"]),
]


def cpu_of_children():
    usage = resource.getrusage(resource.RUSAGE_CHILDREN)
    return usage.ru_utime + usage.ru_stime


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("program", nargs="?", default="build/bin/ostrander-cli")
    parser.add_argument("--runs", type=int, default=50)
    args = parser.parse_args()
    work = tempfile.mkdtemp(prefix="ostrander-cli-timing-")
    out = os.path.join(work, "out")
    print(f"{'command':40} {'CPU ms/run':>10} {'wall ms/run':>11}")
    try:
        for name, words in COMMANDS:
            cpu = wall = 0.0
            refused = False
            for _ in range(args.runs):
                shutil.rmtree(out, ignore_errors=True)
                command = [args.program] + [w.format(out=out) for w in words]
                before, start = cpu_of_children(), time.perf_counter()
                done = subprocess.run(command, stdout=subprocess.DEVNULL,
                                      stderr=subprocess.DEVNULL)
                wall += time.perf_counter() - start
                cpu += cpu_of_children() - before
                if done.returncode != 0:
                    # An older program without the option: nothing to time.
                    refused = True
                    break
            if refused:
                print(f"{name:40} {'refused':>10}")
            else:
                print(f"{name:40} {1000 * cpu / args.runs:10.1f} {1000 * wall / args.runs:11.1f}")
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
