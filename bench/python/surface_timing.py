"""Times Mirror.surface on the 61-pad sample after its influence run, beside
the numpy peer: tensordot of the pads' forces over the exported influence
cube. Run by hand (not part of the suite), with the module on PYTHONPATH:

    PYTHONPATH=build/lib/python3.11/site-packages python3 bench/python/surface_timing.py

The C++ figures to set beside these are BM_SynthesizeSurface,
BM_SessionCorrectedSurface and BM_SessionSurfaceFromVolts (the voltages under
the mirror's rules, then the corrected surface: Mirror.surface's whole way) of
bench_model_engine (make bench).
"""
import timeit

import numpy as np

import ostrander

m = ostrander.Mirror("Hex61S")
volts = np.array([40.0 + 1.5 * k for k in range(1, len(m) + 1)])
cube = m.influence()
contiguous = np.ascontiguousarray(cube)
electrode = volts[m.membrane_electrode - 1] if m.membrane_electrode else 0.0
forces = (volts - electrode) ** 2


def best(call, number):
    return min(timeit.repeat(call, number=number, repeat=7)) / number


rows = [
    ("Mirror.surface(volts)", best(lambda: m.surface(volts), 200)),
    ("Mirror.surface(volts, remove=())", best(lambda: m.surface(volts, remove=()), 200)),
    ("numpy tensordot over influence()", best(lambda: np.tensordot(forces, cube, axes=1), 50)),
    ("numpy tensordot, C-ordered cube", best(lambda: np.tensordot(forces, contiguous, axes=1), 50)),
]
for name, seconds in rows:
    print(f"{name:40s} {seconds * 1e3:8.3f} ms")
