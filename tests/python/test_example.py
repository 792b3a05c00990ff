# The example script of examples/ runs as it stands (matplotlib on Agg).
import os
import subprocess
import sys
from pathlib import Path

import pytest

EXAMPLE = Path(os.environ.get("OSTRANDER_SOURCE", Path(__file__).parents[2])) / "examples" / \
    "focus_and_dm.py"


def test_the_example_runs_verbatim(tmp_path):
    pytest.importorskip("matplotlib")
    env = dict(os.environ, MPLBACKEND="Agg")
    done = subprocess.run([sys.executable, str(EXAMPLE)], cwd=tmp_path, env=env,
                          capture_output=True, text=True)
    assert done.returncode == 0, done.stderr
    assert (tmp_path / "focus_surface.png").stat().st_size > 1000
    assert "residual RMS" in done.stdout
