"""Checks of an installed tree: the one `cmake --install` makes and the one a .deb unpacks to.

Every check runs the installed programs and the freedesktop.org tools on the tree itself, in a
scratch environment (HOME, XDG folders, runtime folder), so nothing of the machine's own
installation or of a viewer the user is running takes part.
"""
import gzip
import os
import pathlib
import re
import shlex
import shutil
import signal
import struct
import subprocess
import tempfile
import time
import unittest
import xml.etree.ElementTree as ET

APP_ID = "org.dudadiruz.Pelagon"
MIME_TYPE = "application/x-pelagon-map"
ICON_SIZES = [16, 22, 24, 32, 48, 64, 128, 256]
SAMPLE = "share/pelagon/samples/alaska"

# Relative to the prefix.
EXPECTED_FILES = (
    [
        "bin/pelagon",
        "bin/pelagon-cli",
        f"share/applications/{APP_ID}.desktop",
        f"share/mime/packages/{APP_ID}.xml",
        f"share/metainfo/{APP_ID}.metainfo.xml",
        f"share/icons/hicolor/scalable/apps/{APP_ID}.svg",
        "share/man/man1/pelagon.1.gz",
        "share/man/man1/pelagon-cli.1.gz",
        "share/bash-completion/completions/pelagon-cli",
        "share/doc/pelagon/copyright",
        "share/doc/pelagon/changelog.gz",
        f"{SAMPLE}/Alaska.mv",
        f"{SAMPLE}/ProjPars.alb",
        f"{SAMPLE}/Regions.csv",
        f"{SAMPLE}/SSL_Locs.csv",
        f"{SAMPLE}/HTML/Regs.htm",
        f"{SAMPLE}/HTML/MapHelp.htm",
    ]
    + [f"share/icons/hicolor/{s}x{s}/apps/{APP_ID}.png" for s in ICON_SIZES]
)

# Variables of a desktop session that would make xdg-mime ask a desktop's own tools.
DESKTOP_VARIABLES = ["XDG_CURRENT_DESKTOP", "XDG_SESSION_DESKTOP", "DESKTOP_SESSION",
                     "KDE_FULL_SESSION", "KDE_SESSION_VERSION", "GNOME_DESKTOP_SESSION_ID",
                     "MATE_DESKTOP_SESSION_ID", "XDG_DATA_HOME", "XDG_DATA_DIRS",
                     "XDG_CONFIG_HOME", "XDG_CONFIG_DIRS", "XDG_RUNTIME_DIR", "DISPLAY",
                     "WAYLAND_DISPLAY"]


def require(*tools):
    missing = [t for t in tools if shutil.which(t) is None]
    if missing:
        raise AssertionError(f"missing tools {missing}: run scripts/setup")


def png_size(path):
    with open(path, "rb") as f:
        head = f.read(24)
    if head[:8] != b"\x89PNG\r\n\x1a\n" or head[12:16] != b"IHDR":
        raise AssertionError(f"{path} is not a PNG file")
    return struct.unpack(">II", head[16:24])


def help_options(text):
    """Every option a help text names: words such as --at, -o, --output."""
    return set(re.findall(r"(?<![\w-])(--?[a-zA-Z][a-zA-Z0-9-]*)", text))


def help_subcommands(text):
    """The subcommands listed under "Subcommands:" in the tool's help."""
    found = []
    inside = False
    for line in text.splitlines():
        if line.startswith("Subcommands:"):
            inside = True
        elif inside and re.match(r"^  [a-z]", line):
            found.append(line.split()[0])
        elif inside and not line.startswith("  "):
            inside = False
    return found


class InstalledTree:
    """A prefix with the programs installed, and a scratch home to run them in."""

    def __init__(self, prefix, scratch):
        self.prefix = pathlib.Path(prefix)
        self.scratch = pathlib.Path(scratch)
        self.home = self.scratch / "home"
        self.runtime = self.scratch / "runtime"
        for folder in (self.home, self.runtime, self.scratch / "config", self.scratch / "xdg"):
            folder.mkdir(parents=True, exist_ok=True)
        os.chmod(self.runtime, 0o700)

    def path(self, relative):
        return self.prefix / relative

    def env(self, **extra):
        env = {k: v for k, v in os.environ.items() if k not in DESKTOP_VARIABLES}
        env.update(
            HOME=str(self.home),
            PATH=f"{self.prefix / 'bin'}:{os.environ.get('PATH', '/usr/bin:/bin')}",
            XDG_CONFIG_HOME=str(self.scratch / "config"),
            XDG_CONFIG_DIRS=str(self.scratch / "xdg"),
            XDG_RUNTIME_DIR=str(self.runtime),
            LC_ALL="C.UTF-8",
        )
        env.update(extra)
        return env

    def run(self, args, **kwargs):
        env = kwargs.pop("env", None) or self.env()
        return subprocess.run(args, env=env, capture_output=True, text=True, timeout=120,
                              **kwargs)


class InstalledChecks:
    """Mixed into a unittest.TestCase whose tree() returns the InstalledTree to check."""

    def tree(self):
        raise NotImplementedError

    def version(self):
        raise NotImplementedError

    def test_files_are_in_place(self):
        t = self.tree()
        for relative in EXPECTED_FILES:
            with self.subTest(relative):
                self.assertTrue(t.path(relative).is_file(), t.path(relative))
        for program in ("bin/pelagon", "bin/pelagon-cli"):
            self.assertTrue(os.access(t.path(program), os.X_OK), program)
        # Nothing the viewer writes into a map folder comes along.
        self.assertFalse(t.path(f"{SAMPLE}/drillID_results.htm").exists())

    def test_icons_are_drawn_at_their_sizes(self):
        t = self.tree()
        for size in ICON_SIZES:
            with self.subTest(size=size):
                png = t.path(f"share/icons/hicolor/{size}x{size}/apps/{APP_ID}.png")
                self.assertEqual(png_size(png), (size, size))
        svg = ET.parse(t.path(f"share/icons/hicolor/scalable/apps/{APP_ID}.svg")).getroot()
        self.assertEqual(svg.tag, "{http://www.w3.org/2000/svg}svg")
        self.assertEqual(svg.get("viewBox"), "0 0 256 256")
        # A drawing, not an empty page: the tile, the graticule and the fish are paths.
        paths = svg.findall(".//{http://www.w3.org/2000/svg}path")
        self.assertGreater(len(paths), 5)

    def test_desktop_entry_is_valid(self):
        require("desktop-file-validate")
        t = self.tree()
        entry = t.path(f"share/applications/{APP_ID}.desktop")
        result = t.run(["desktop-file-validate", str(entry)])
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
        self.assertEqual(result.stdout + result.stderr, "")
        text = entry.read_text()
        for line in ["Exec=pelagon %f", "GenericName=Fishery map viewer", f"Icon={APP_ID}",
                     f"MimeType={MIME_TYPE};"]:
            self.assertIn(line + "\n", text)

    def test_metainfo_is_valid(self):
        require("appstreamcli")
        t = self.tree()
        result = t.run(["appstreamcli", "validate", "--no-net", "--explain",
                        str(t.path(f"share/metainfo/{APP_ID}.metainfo.xml"))])
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)

    def test_map_definitions_open_with_the_viewer(self):
        require("update-mime-database", "update-desktop-database", "xdg-mime", "mimetype")
        t = self.tree()
        # The tree's share folder serves as the user's data folder, as a per-user install does.
        data = t.path("share")
        env = t.env(XDG_DATA_HOME=str(data), XDG_DATA_DIRS="/usr/share")
        for command in (["update-mime-database", str(data / "mime")],
                        ["update-desktop-database", str(data / "applications")]):
            result = t.run(command, env=env)
            self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
        maps = t.scratch / "maps"
        maps.mkdir(exist_ok=True)
        for name in ("Alaska.mv", "ALASKA.MV", "Mixed.Mv"):
            shutil.copy(t.path(f"{SAMPLE}/Alaska.mv"), maps / name)
            with self.subTest(name):
                result = t.run(["xdg-mime", "query", "filetype", str(maps / name)], env=env)
                self.assertEqual(result.stdout.strip(), MIME_TYPE, result.stderr)
        result = t.run(["xdg-mime", "query", "default", MIME_TYPE], env=env)
        self.assertEqual(result.stdout.strip(), f"{APP_ID}.desktop", result.stderr)

    def test_programs_run_from_the_tree(self):
        t = self.tree()
        version = self.version()
        for program in ("pelagon", "pelagon-cli"):
            with self.subTest(program):
                result = t.run([str(t.path(f"bin/{program}")), "--version"])
                self.assertEqual(result.returncode, 0, result.stderr)
                self.assertEqual(result.stdout, f"{program} {version}\n")
        result = t.run([str(t.path("bin/pelagon-cli")), "info",
                        str(t.path(f"{SAMPLE}/Alaska.mv"))])
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertIn("Statistical areas", result.stdout)
        self.assertNotIn("not loaded", result.stdout)

    def test_sample_option_opens_the_installed_sample(self):
        t = self.tree()
        sample = str(t.path(f"{SAMPLE}/Alaska.mv").resolve())
        self.assertEqual(opened_by_viewer(t, [str(t.path("bin/pelagon")), "--sample"]), sample)

    def test_manual_pages_match_the_help(self):
        require("groff")
        t = self.tree()
        cli = t.path("bin/pelagon-cli")
        tool_help = t.run([str(cli), "--help"]).stdout
        subcommands = help_subcommands(tool_help)
        self.assertGreaterEqual(len(subcommands), 5, tool_help)
        cli_options = help_options(tool_help)
        for name in subcommands:
            cli_options |= help_options(t.run([str(cli), name, "--help"]).stdout)
        viewer_options = help_options(t.run([str(t.path("bin/pelagon")), "--help"]).stdout)
        self.assertTrue({"--sample", "--new-window", "--positions", "--help", "--version"} <= viewer_options)

        for page, options in (("pelagon-cli", cli_options), ("pelagon", viewer_options)):
            text = render_manual_page(t, t.path(f"share/man/man1/{page}.1.gz"))
            for option in sorted(options):
                with self.subTest(page=page, option=option):
                    self.assertRegex(text, r"(?<![\w-])" + re.escape(option) + r"(?![\w-])")
        text = render_manual_page(t, t.path("share/man/man1/pelagon-cli.1.gz"))
        for name in subcommands:
            with self.subTest(subcommand=name):
                # A subsection of its own.
                self.assertRegex(text, r"(?m)^   " + re.escape(name) + "$")

    def test_bash_completes_subcommands_options_and_maps(self):
        require("bash")
        t = self.tree()
        folder = t.scratch / "completion"
        if folder.exists():
            shutil.rmtree(folder)
        shutil.copytree(t.path(SAMPLE), folder)
        shutil.copy(folder / "Alaska.mv", folder / "UPPER.MV")
        script = t.path("share/bash-completion/completions/pelagon-cli")
        cases = [
            (["pelagon-cli", ""], {"info", "render", "query", "position", "measure", "visits",
                                    "hours"}),
            (["pelagon-cli", "--"], {"--help", "--version"}),
            (["pelagon-cli", "re"], {"render"}),
            (["pelagon-cli", "info", ""], {"Alaska.mv", "UPPER.MV", "HTML", "Shapefiles"}),
            (["pelagon-cli", "info", "U"], {"UPPER.MV"}),
            (["pelagon-cli", "render", "Alaska.mv", "--s"], {"--size", "--site", "--scale-bar"}),
            (["pelagon-cli", "render", "Alaska.mv", "-"], help_options(
                t.run([str(t.path("bin/pelagon-cli")), "render", "--help"]).stdout)),
            (["pelagon-cli", "query", "Alaska.mv", "--csv", "S"], {"SSL_Locs.csv", "Shapefiles"}),
            (["pelagon-cli", "render", "Alaska.mv", "-o", "Reg"], {"Regions.csv"}),
            (["pelagon-cli", "query", "Alaska.mv", "--at", ""], set()),
            (["pelagon-cli", "measure", "Alaska.mv", ""], set()),
        ]
        for words, expected in cases:
            with self.subTest(words=words):
                program = (f"source {shlex.quote(str(script))}\n"
                           f"COMP_WORDS=({' '.join(shlex.quote(w) for w in words)})\n"
                           f"COMP_CWORD={len(words) - 1}\n"
                           "_pelagon_cli\n"
                           'printf "%s\\n" "${COMPREPLY[@]}"\n')
                result = t.run(["bash", "--norc", "--noprofile", "-c", program], cwd=folder)
                self.assertEqual(result.returncode, 0, result.stderr)
                got = {line for line in result.stdout.splitlines() if line}
                self.assertEqual(got, expected)


def render_manual_page(tree, page):
    """The page as plain text, checked for troff warnings on the way."""
    source = gzip.decompress(page.read_bytes()).decode("utf-8")
    # -ww: all warnings; UTF-8 as man gives it in a UTF-8 locale (the help shows positions with
    # degree signs); no hyphenation and long lines, so option names stay whole.
    result = tree.run(["groff", "-man", "-ww", "-Tutf8", "-P-c", "-P-b", "-P-u", "-rHY=0",
                       "-rLL=200n"], input=source)
    if result.returncode != 0 or result.stderr:
        raise AssertionError(f"{page}: groff says:\n{result.stderr}")
    return result.stdout


def opened_by_viewer(tree, command, timeout=60):
    """Starts the viewer offscreen and returns the map it opened, as its recent maps record it."""
    settings = tree.scratch / "config" / "Dudadiruz" / "pelagon.conf"
    if settings.exists():
        settings.unlink()
    env = tree.env(QT_QPA_PLATFORM="offscreen")
    with tempfile.TemporaryFile("w+") as log:
        process = subprocess.Popen(command, env=env, stdout=log, stderr=subprocess.STDOUT,
                                   text=True)
        try:
            deadline = time.monotonic() + timeout
            while time.monotonic() < deadline:
                if process.poll() is not None:
                    log.seek(0)
                    raise AssertionError(
                        f"the viewer ended ({process.returncode}): {log.read()}")
                recent = recent_maps(settings)
                if recent:
                    return recent[0]
                time.sleep(0.2)
            raise AssertionError("the viewer opened no map")
        finally:
            if process.poll() is None:
                process.send_signal(signal.SIGTERM)
                try:
                    process.wait(10)
                except subprocess.TimeoutExpired:
                    process.kill()
                    process.wait()


def recent_maps(settings):
    """The recent maps of a settings file QSettings wrote (its INI form)."""
    if not settings.exists():
        return []
    for line in settings.read_text().splitlines():
        if line.startswith("recentMaps="):
            return [p.strip() for p in line.split("=", 1)[1].split(",") if p.strip()]
    return []


def project_version(build):
    cache = pathlib.Path(build) / "CMakeCache.txt"
    match = re.search(r"^CMAKE_PROJECT_VERSION:STATIC=(.+)$", cache.read_text(), re.M)
    return match.group(1)
