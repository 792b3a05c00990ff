"""Load a mirror, fit a focus, plot the surface, and build an influence-matrix
deformable mirror for another optics tool.

Run from anywhere with the module on PYTHONPATH (see the README), e.g.
    PYTHONPATH=build/lib/python3.11/site-packages python3 examples/focus_and_dm.py
It writes focus_surface.png and hex37_influence.npz into the working folder.
"""
import matplotlib.pyplot as plt
import numpy as np

import ostrander

# The 37-pad sample mirror on the exact membrane model.
m = ostrander.Mirror("Hex37", model="exact")
print(m, "-", m.grid)

# Voltages for -0.25 um RMS of focus (Noll term 4) about a 70 V bias.
fit = m.fit({4: -0.25e-6}, bias=70.0)
print(f"residual RMS {fit.residual_rms:.3g} m of target RMS {fit.target_rms:.3g} m, "
      f"pull-in factor {fit.pull_in_factor:.3g}")

# The surface those voltages give, as surface.fits holds it: [row y][column x].
surface = m.surface(fit.volts)
g = m.grid
shown = np.where(g.beam_mask, surface, np.nan) * 1e6
extent = [g.x[0] * 1e3, g.x[-1] * 1e3, g.y[-1] * 1e3, g.y[0] * 1e3]
fig, ax = plt.subplots(figsize=(5, 4))
image = ax.imshow(shown, extent=extent, cmap="viridis")
ax.set_xlabel("x (mm)")
ax.set_ylabel("y (mm)")
ax.set_title(f"{m.name}: focus over the beam")
fig.colorbar(image, label="surface (um)")
fig.savefig("focus_surface.png", dpi=100)
print("Strehl at 1064 nm:", round(m.far_field(fit.volts).strehl, 4))

# An influence-matrix DM for another tool: the surface is linear in the
# pads' forces (V - V_electrode)^2, so one row per actuator of m per V^2.
cube = m.influence()  # (actuators, ny, nx), m/V^2
matrix = cube.reshape(len(m), -1)
forces = np.asarray(fit.volts) ** 2
np.testing.assert_allclose((forces @ matrix).reshape(surface.shape),
                           m.surface(fit.volts, remove=()), rtol=1e-9, atol=1e-18)
np.savez("hex37_influence.npz", matrix=matrix, x=g.x, y=g.y, beam_mask=g.beam_mask,
         actuator_x=[a["x"] for a in m.actuators], actuator_y=[a["y"] for a in m.actuators])
print("influence matrix", matrix.shape, "saved to hex37_influence.npz")
