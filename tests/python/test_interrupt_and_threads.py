# Ctrl-C during a long call (a fit, a turbulence study, many phase screens)
# stops it with KeyboardInterrupt and leaves the mirror usable; separate
# mirrors work in separate threads, and one mirror refuses a second call
# while one runs.
import signal
import threading

import numpy as np
import pytest

import ostrander


def interrupt_during(call, mirror, delay=0.1):
    """Sends SIGINT from a timer thread while call() runs. The handler asks
    the mirror for another call: refused as busy when (and only when) the
    signal arrived inside the long call. Returns whether it did."""
    inside = []

    def handler(signum, frame):
        try:
            mirror.apply_rules({1: 10.0})
            inside.append(False)
        except RuntimeError as busy:
            inside.append("busy" in str(busy))
        raise KeyboardInterrupt

    previous = signal.signal(signal.SIGINT, handler)
    timer = threading.Timer(delay, lambda: signal.raise_signal(signal.SIGINT))
    try:
        timer.start()
        with pytest.raises(KeyboardInterrupt):
            call()
    finally:
        timer.cancel()
        signal.signal(signal.SIGINT, previous)
    return inside == [True]


def test_ctrl_c_stops_a_long_fit_and_the_mirror_stays_usable(mirror_cache):
    m = mirror_cache("Hex61S", "exact")
    focus = {4: 0.5e-6}  # the refined nonlinear fit takes about a second
    before = m.surface([100.0] * len(m))
    assert interrupt_during(lambda: m.fit(focus, nonlinear=True), m)
    np.testing.assert_array_equal(m.surface([100.0] * len(m)), before)
    fitted = m.fit({4: 0.2e-6})
    assert fitted.residual_rms < fitted.target_rms


def test_ctrl_c_stops_a_long_turbulence_study_and_the_mirror_stays_usable(mirror_cache):
    m = mirror_cache("Hex61S")  # a hundred thousand screens would take minutes
    before = m.surface([100.0] * len(m))
    assert interrupt_during(lambda: m.correct([8], screens=100000, bias=120.0), m, delay=0.5)
    np.testing.assert_array_equal(m.surface([100.0] * len(m)), before)
    assert m.correct([1], screens=2, bias=120.0).points[0]["screens"] == 2
    # phase_screen holds no mirror (the handler's call goes through) and stops all the same.
    assert not interrupt_during(lambda: ostrander.phase_screen(100, 1e-3, r0=0.05, count=20000),
                                m, delay=0.5)


def test_separate_mirrors_in_separate_threads(mirror_cache):
    names = ["Hex19", "Hex37"]
    volts = {name: [70.0 + k for k in range(len(mirror_cache(name)))] for name in names}
    expected = {name: mirror_cache(name).surface(volts[name]) for name in names}
    got, errors = {}, []

    def work(name):
        try:
            m = ostrander.Mirror(name)
            for _ in range(20):
                got[name] = m.surface(volts[name])
        except Exception as e:  # reported below, in the test's thread
            errors.append(e)

    threads = [threading.Thread(target=work, args=(n,)) for n in names * 2]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    assert not errors
    for name in names:
        np.testing.assert_array_equal(got[name], expected[name])
