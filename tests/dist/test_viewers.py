"""The viewer as separate processes on an X display (tests/with-display.sh gives one): a second
`pelagon MAP.mv` hands its map to the running viewer and ends, `--new-window` does not, a socket
left by a viewer that was killed is replaced, and `--sample` in the build folder opens the source
tree's sample. The windows are read from the X server (xwininfo, xprop), as a person would see
them.

    PELAGON_BUILD_DIR=build PELAGON_SOURCE_DIR=. tests/with-display.sh python3 tests/dist/test_viewers.py
"""
import os
import pathlib
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import unittest

sys.path.insert(0, str(pathlib.Path(__file__).parent))
import installed  # noqa: E402

BUILD = pathlib.Path(os.environ.get("PELAGON_BUILD_DIR", "build")).resolve()
SOURCE = pathlib.Path(os.environ.get("PELAGON_SOURCE_DIR", ".")).resolve()
VIEWER = BUILD / "src" / "pelagon"
TITLE = "Dudadiruz Pelagon: "


def windows():
    """(title, process id) of every named top-level window on the display."""
    tree = subprocess.run(["xwininfo", "-root", "-tree"], capture_output=True, text=True,
                          timeout=30).stdout
    found = []
    for match in re.finditer(r'^\s+(0x[0-9a-f]+) "(.*)":', tree, re.M):
        window, title = match.groups()
        prop = subprocess.run(["xprop", "-id", window, "_NET_WM_PID"], capture_output=True,
                              text=True, timeout=30).stdout
        pid = re.search(r"= (\d+)", prop)
        found.append((title, int(pid.group(1)) if pid else None))
    return found


def map_titles(pid):
    """The maps that the frames of process pid show."""
    return sorted(title[len(TITLE):].split(" \u2014 ")[0]
                  for title, owner in windows() if owner == pid and title.startswith(TITLE))


class Viewers(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        installed.require("xwininfo", "xprop")
        if not os.environ.get("DISPLAY"):
            raise AssertionError("needs an X display: run under tests/with-display.sh")

    def setUp(self):
        self.scratch = pathlib.Path(tempfile.mkdtemp(prefix="pelagon-viewers-"))
        self.tree = installed.InstalledTree(BUILD / "src", self.scratch)
        self.maps = []
        for name in ("first", "second"):
            shutil.copytree(SOURCE / "samples" / "alaska", self.scratch / name)
            self.maps.append(str(self.scratch / name / "Alaska.mv"))
        self.processes = []
        self.logs = []

    def tearDown(self):
        for process in self.processes:
            if process.poll() is None:
                process.send_signal(signal.SIGTERM)
                try:
                    process.wait(10)
                except subprocess.TimeoutExpired:
                    process.kill()
                    process.wait()
        for log in self.logs:
            log.close()
        shutil.rmtree(self.scratch, ignore_errors=True)

    def env(self):
        return self.tree.env(DISPLAY=os.environ["DISPLAY"], QTWEBENGINE_DISABLE_SANDBOX="1",
                             QT_QPA_PLATFORM="xcb")

    def start(self, *args):
        # Each viewer's output goes to a file of its own, shown when a check fails.
        log = open(self.scratch / f"viewer-{len(self.processes)}.log", "w")
        self.logs.append(log)
        process = subprocess.Popen([str(VIEWER), *args], env=self.env(),
                                   stdout=log, stderr=subprocess.STDOUT)
        self.processes.append(process)
        return process

    def output(self):
        return "\n".join(pathlib.Path(log.name).read_text() for log in self.logs)

    def run_viewer(self, *args):
        return subprocess.run([str(VIEWER), *args], env=self.env(), capture_output=True,
                              text=True, timeout=60)

    def wait_for(self, pid, maps, timeout=60):
        deadline = time.monotonic() + timeout
        shown = None
        while time.monotonic() < deadline:
            shown = map_titles(pid)
            if shown == sorted(maps):
                return
            time.sleep(0.3)
        self.fail(f"process {pid} shows {shown}, not {maps}\n{self.output()}")

    def test_a_second_viewer_hands_its_map_to_the_first(self):
        first = self.start(self.maps[0])
        self.wait_for(first.pid, [self.maps[0]])

        started = time.monotonic()
        second = self.run_viewer(self.maps[1])
        self.assertEqual(second.returncode, 0, second.stderr)
        self.assertLess(time.monotonic() - started, 20)
        # The first viewer's frame now shows the second map; no other frame appeared.
        self.wait_for(first.pid, [self.maps[1]])
        self.assertIsNone(first.poll())
        self.assertEqual([t for t, _ in windows() if t.startswith(TITLE)],
                         [t for t, pid in windows() if t.startswith(TITLE) and pid == first.pid])

    def test_new_window_starts_a_viewer_of_its_own(self):
        first = self.start(self.maps[0])
        self.wait_for(first.pid, [self.maps[0]])
        second = self.start("--new-window", self.maps[1])
        self.wait_for(second.pid, [self.maps[1]])
        self.assertEqual(map_titles(first.pid), [self.maps[0]])
        self.assertIsNone(second.poll())

    def test_a_socket_left_by_a_killed_viewer_is_replaced(self):
        first = self.start(self.maps[0])
        self.wait_for(first.pid, [self.maps[0]])
        first.kill()
        first.wait()
        sockets = list(self.tree.runtime.glob("org.dudadiruz.Pelagon*.socket"))
        self.assertEqual(len(sockets), 1, "the killed viewer leaves its socket behind")

        second = self.start(self.maps[1])
        self.wait_for(second.pid, [self.maps[1]])
        third = self.run_viewer(self.maps[0])
        self.assertEqual(third.returncode, 0, third.stderr)
        self.wait_for(second.pid, [self.maps[0]])

    def test_sample_option_in_the_build_folder_opens_the_source_sample(self):
        sample = (SOURCE / "samples" / "alaska" / "Alaska.mv").resolve()
        self.assertEqual(installed.opened_by_viewer(self.tree, [str(VIEWER), "--sample"]),
                         str(sample))


if __name__ == "__main__":
    unittest.main()
