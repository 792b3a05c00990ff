# Type stubs of the ostrander module (a compiled extension), for editors and
# type checkers.
from typing import Mapping, Optional, Sequence, Tuple, Union

import numpy as np
import numpy.typing as npt

__version__: str

Volts = Union[Sequence[float], npt.ArrayLike, Mapping[int, float]]

class OstranderWarning(UserWarning): ...

def mirrors(devices: Optional[str] = None) -> list[dict]: ...

def phase_screen(n: int, dx: float, *, d_over_r0: Optional[float] = None,
                 r0: Optional[float] = None, wavelength: float = 500e-9,
                 outer_scale: float = float("inf"), seed: int = 1, count: Optional[int] = None,
                 subharmonics: int = 3) -> npt.NDArray[np.float64]: ...

class AppliedVoltages:
    volts: npt.NDArray[np.float64]
    changes: list[Tuple[int, float, float]]
    message: Optional[str]

class Grid:
    n: int
    dx: float
    x: npt.NDArray[np.float64]
    y: npt.NDArray[np.float64]
    beam_radius: float
    membrane_radius: float
    beam_mask: npt.NDArray[np.bool_]
    membrane_mask: npt.NDArray[np.bool_]

class FarField:
    intensity: npt.NDArray[np.float64]
    angle: npt.NDArray[np.float64]
    pixel_scale: float
    lambda_over_d: float
    wavelength: float
    strehl: float
    zoom: int

class FitResult:
    volts: npt.NDArray[np.float64]
    surface: npt.NDArray[np.float64]
    target: npt.NDArray[np.float64]
    predicted: npt.NDArray[np.float64]
    residual: npt.NDArray[np.float64]
    residual_rms: float
    residual_pv: float
    target_rms: float
    pull_in_factor: float
    converged: bool
    achieved: list[float]
    at_floor: list[int]
    at_ceiling: list[int]
    warnings: list[str]

class CorrectedScreen:
    convention: str
    d_over_r0: float
    screen: int
    input_rms: float
    residual_rms: float
    strehl: float
    marechal: float
    pads_at_bounds: int
    mean_rule_active: bool
    pull_in_factor: float
    snap_down: bool
    saturated: bool
    bias: float
    volts: npt.NDArray[np.float64]
    wavefront: Optional[npt.NDArray[np.float64]]
    surface: Optional[npt.NDArray[np.float64]]
    residual: Optional[npt.NDArray[np.float64]]

class Correction:
    convention: str
    points: list[dict]
    fitting_coefficient: Optional[float]
    bias: float
    bias_found: bool
    bias_candidates: list[Tuple[float, float]]
    model: str
    pads: int
    pitch: float
    diameter: float
    wavelength: float
    outer_scale: float
    seed: int
    screens: int
    kept: list[CorrectedScreen]

class Mirror:
    def __init__(self, mirror: str, model: str = "classic", devices: Optional[str] = None, *,
                 influence: Optional[str] = None, law: Optional[str] = None,
                 sampling: Optional[float] = None, units: Optional[str] = None,
                 actuators: Optional[str] = None, remove_tilt: bool = False,
                 flat: Optional[str] = None, grid: Optional[int] = None) -> None: ...
    @property
    def name(self) -> str: ...
    @property
    def file(self) -> str: ...
    @property
    def model(self) -> str: ...
    @property
    def limit_voltage(self) -> float: ...
    @property
    def run_voltage(self) -> float: ...
    @property
    def membrane_electrode(self) -> int: ...
    @property
    def actuators(self) -> list[dict]: ...
    @property
    def grid(self) -> Grid: ...
    def __len__(self) -> int: ...
    def influence(self) -> npt.NDArray[np.float64]: ...
    def apply_rules(self, volts: Volts) -> AppliedVoltages: ...
    def surface(self, volts: Volts, *, nonlinear: bool = False,
                remove: Sequence[str] = ("tilt",)) -> npt.NDArray[np.float64]: ...
    def pull_in_factor(self, volts: Volts) -> float: ...
    def far_field(self, volts: Volts, *, wavelength: float = 1064e-9, zoom: int = 1) -> FarField: ...
    def analyse(self, volts: Volts, *, wavelength: float = 1064e-9, zoom: int = 1,
                remove: Sequence[str] = ("tilt",), nonlinear: bool = False) -> dict: ...
    def fit(self, target: Union[npt.ArrayLike, Mapping[int, float]], *,
            bias: Optional[float] = None, free_tilt: bool = False,
            nonlinear: bool = False) -> FitResult: ...
    def correct(self, d_over_r0: Union[float, Sequence[float]], *, screens: int = 200,
                seed: int = 1, outer_scale: float = float("inf"), wavelength: float = 500e-9,
                bias: Optional[float] = None, keep: int = 0) -> Correction: ...
    def correct_wavefront(self, wavefront: npt.ArrayLike, *, bias: Optional[float] = None,
                          wavelength: float = 500e-9) -> CorrectedScreen: ...
