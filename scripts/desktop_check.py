"""What the desktop checks written in Python share: failures that add up, waits on what another
process brings about, the X server, the stand-in of the services and the ctest fixtures that may
have started both, and the click points of the layout table. What a check starts is added to
`started` and ended by `run`."""
import glob
import os
import re
import shlex
import socket
import subprocess
import sys
import tempfile
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
BUILD = Path(os.environ.get("TARNWICK_BUILD_DIR", ROOT / "build"))

# An X server that outlives every client's disconnection, its display number on standard output.
XVFB = ["Xvfb", "-displayfd", "1", "-screen", "0", "1024x768x24", "-nolisten", "tcp", "-noreset"]
NAME = Path(sys.argv[0]).name  # the check's own, on what it prints
started = []  # processes and sockets, ended when the check ends
_failures = []


def fail(message):
    print(f"{NAME}: {message}", file=sys.stderr)
    _failures.append(message)


def eventually(condition, seconds=20):
    """Polls a condition that another process brings about; its last value."""
    deadline = time.monotonic() + seconds
    while not (value := condition()) and time.monotonic() < deadline:
        time.sleep(0.1)
    return value


def output(*command, **kwargs):
    """What a command prints, or "" when it fails."""
    result = subprocess.run(command, capture_output=True, text=True, check=False, **kwargs)
    return result.stdout.strip() if result.returncode == 0 else ""


def common(command):
    """Runs a command line with the functions of scripts/common.sh, the scripts' shared set-up."""
    subprocess.run(["bash", "-c", f'source "{ROOT}/scripts/common.sh" && {command}'], check=True)


def project_version():
    cache = (BUILD / "CMakeCache.txt").read_text()
    return re.search(r"^CMAKE_PROJECT_VERSION:STATIC=(.*)$", cache, re.M).group(1)


def layout_points():
    """Client coordinates of the controls' centres, from the layout table: name -> [x, y]."""
    points = {}
    for line in (BUILD / "desktop" / "layout_points.sh").read_text().splitlines():
        name, _, value = line.partition("=")
        points[name] = [int(n) for n in value.strip('"').split()]
    return points


def use_desktop_fixtures():
    """Under ctest, what its fixtures started (scripts/desktop-fixture) goes into os.environ."""
    state = os.environ.get("TARNWICK_DESKTOP_STATE", "/nonexistent")
    for env in glob.glob(os.path.join(state, "*.env")):
        for assignment in shlex.split(Path(env).read_text(), comments=True):
            name, _, value = assignment.partition("=")
            os.environ[name] = value


def start_x_server(work):
    """An X server of its own, kept through every client's disconnection, as DISPLAY."""
    out = work / "display"
    with out.open("w") as display:
        started.append(subprocess.Popen(XVFB, stdout=display, stderr=subprocess.DEVNULL))
    if not eventually(lambda: out.read_text().strip()):
        sys.exit("Xvfb did not start")
    os.environ["DISPLAY"] = ":" + out.read_text().strip()


def use_x_server(work):
    """The fixture's X server, else one of its own."""
    if os.environ.get("TARNWICK_X_DISPLAY"):
        os.environ["DISPLAY"] = os.environ["TARNWICK_X_DISPLAY"]
    else:
        start_x_server(work)


def use_stand_in():
    """The fixture's stand-in of the services, else one of its own: its proxy address."""
    if os.environ.get("TARNWICK_STAND_IN"):
        return os.environ["TARNWICK_STAND_IN"]
    # It serves until its input ends, which is when the check ends.
    stand_in = subprocess.Popen([BUILD / "bin" / "tarnwick_stand_in"], stdin=subprocess.PIPE,
                                stdout=subprocess.PIPE, text=True)
    started.append(stand_in)
    return stand_in.stdout.readline().strip()


def link_leads_to(stand_in, link):
    """Where a link of the stand-in redirects, asked straight of it (code page 936 there)."""
    port = int(stand_in.rsplit(":", 1)[1])
    with socket.create_connection(("127.0.0.1", port), timeout=5) as connection:
        connection.sendall(f"GET {link[len(stand_in):]} HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n"
                           .encode("gbk"))
        answer = b""
        while b"\r\n\r\n" not in answer and (chunk := connection.recv(4096)):
            answer += chunk
    found = re.search(rb"\r\nLocation: ([^\r]*)", answer)
    return found.group(1).decode("gbk") if found else ""


def run(check, before_end=None):
    """Runs check(work) in a private folder, ends what it started (before_end first), and exits
    with 0 when nothing failed."""
    with tempfile.TemporaryDirectory() as folder:
        try:
            check(Path(folder))
        finally:
            if before_end:
                before_end()
            for thing in reversed(started):
                if isinstance(thing, subprocess.Popen):
                    thing.kill()
                    thing.wait()
                else:
                    thing.close()
    if not _failures:
        print(f"{NAME}: all good")
    sys.exit(1 if _failures else 0)
