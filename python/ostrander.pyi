# Type stubs of the ostrander module (a compiled extension), for editors and
# type checkers.
from typing import Mapping, Optional, Sequence, Tuple, Union

import numpy as np
import numpy.typing as npt

__version__: str

Volts = Union[Sequence[float], npt.ArrayLike, Mapping[int, float]]

class OstranderWarning(UserWarning): ...

def mirrors(devices: Optional[str] = None) -> list[dict]: ...

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
