"""What the python test scripts share: the trees ctest names, check lines with their summary,
and running a program of the Windows x64 tree under Wine (scripts/wine_run.sh).

    sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
    import testkit
"""
import os
import signal
import subprocess
import time

source = os.environ.get("VOK_SOURCE_DIR") or os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
build = os.environ.get("VOK_BUILD_DIR", "")
win64 = os.environ.get("VOK_WIN64_DIR", "")
failures = []


def check(ok, what):
    print(("ok   " if ok else "FAIL ") + what, flush=True)
    if not ok:
        failures.append(what)


def summary():
    """The closing line, and the exit code: 1 when a check failed."""
    if failures:
        print("%d check(s) failed" % len(failures))
        return 1
    print("passed")
    return 0


def stop(p, sig=signal.SIGTERM):
    """Ends process p with sig (killed when it is still there after 15 s); its exit code."""
    if p.poll() is None:
        p.send_signal(sig)
    try:
        return p.wait(timeout=15)
    except subprocess.TimeoutExpired:
        p.kill()
        return p.wait()


def wait_until(predicate, timeout, step=0.1):
    """predicate()'s first true value, polled every step s; None after timeout s."""
    deadline = time.time() + timeout
    while time.time() < deadline:
        value = predicate()
        if value:
            return value
        time.sleep(step)
    return None


def win64_program(rel, missing):
    """The program rel of the Windows x64 tree; None, after printing `missing`, when there is
    none (the caller skips: 77)."""
    exe = os.path.join(win64, rel)
    if not win64 or not os.path.exists(exe):
        print(missing)
        return None
    return exe


def under_wine(exe, timeout, com1=None):
    """The command that runs exe under Wine (killed after timeout s), COM1 linked to com1."""
    return (["bash", os.path.join(source, "scripts", "wine_run.sh")] + (["--com", "1=" + com1] if com1 else [])
            + ["--timeout", str(timeout), "--", exe])
