"""The Debian package: made with CPack from the build, checked by lintian, unpacked with
`dpkg-deb -x` into a scratch root whose programs then get every check of installed.py.

    PELAGON_BUILD_DIR=build python3 tests/dist/test_package.py
"""
import os
import pathlib
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, str(pathlib.Path(__file__).parent))
import installed  # noqa: E402

BUILD = pathlib.Path(os.environ.get("PELAGON_BUILD_DIR", "build")).resolve()


def run(args, **kwargs):
    return subprocess.run(args, capture_output=True, text=True, timeout=600, **kwargs)


class DebianPackage(installed.InstalledChecks, unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        installed.require("cpack", "dpkg-deb", "dpkg-shlibdeps", "lintian")
        cls.scratch = tempfile.TemporaryDirectory(prefix="pelagon-package-")
        scratch = pathlib.Path(cls.scratch.name)
        made = run(["cpack", "-G", "DEB", "--config", str(BUILD / "CPackConfig.cmake"),
                    "-B", str(scratch / "out")])
        if made.returncode != 0:
            raise AssertionError(f"cpack failed:\n{made.stdout}{made.stderr}")
        packages = sorted((scratch / "out").glob("*.deb"))
        if len(packages) != 1:
            raise AssertionError(f"cpack made {packages}")
        cls.deb = packages[0]
        root = scratch / "root"
        unpacked = run(["dpkg-deb", "-x", str(cls.deb), str(root)])
        if unpacked.returncode != 0:
            raise AssertionError(unpacked.stderr)
        cls.installed = installed.InstalledTree(root / "usr", scratch)

    @classmethod
    def tearDownClass(cls):
        cls.scratch.cleanup()

    def tree(self):
        return self.installed

    def version(self):
        return installed.project_version(BUILD)

    def field(self, name):
        return run(["dpkg-deb", "-f", str(self.deb), name]).stdout.strip()

    def test_control_fields(self):
        self.assertEqual(self.field("Package"), "pelagon")
        self.assertEqual(self.field("Version"), self.version())
        self.assertEqual(self.deb.name, f"pelagon_{self.version()}_{self.field('Architecture')}.deb")
        self.assertTrue(self.field("Description").startswith("map viewer for fishery"))

    def test_dependencies_come_from_the_linked_libraries(self):
        depends = [d.strip() for d in self.field("Depends").split(",")]
        names = {d.split()[0] for d in depends}
        # dpkg-shlibdeps names the packages of the libraries the programs link, with versions.
        for package in ("libc6", "libstdc++6", "libqt6core6", "libqt6widgets6",
                        "libqt6webenginewidgets6", "libqt6network6", "libqt6webenginecore6-bin"):
            self.assertIn(package, names, depends)
        self.assertTrue(any(d.startswith("libc6 (>=") for d in depends), depends)
        self.assertTrue(any(n.startswith("libgdal") for n in names), depends)
        # Qt's platform plugins are loaded at run time, out of dpkg-shlibdeps' sight.
        self.assertIn("qt6-qpa-plugins", names)

    def test_files_belong_to_root_under_usr(self):
        listing = run(["dpkg-deb", "-c", str(self.deb)]).stdout.splitlines()
        self.assertTrue(listing)
        for line in listing:
            fields = line.split()
            with self.subTest(line=line):
                self.assertEqual(fields[1], "root/root")
                self.assertTrue(fields[5] == "./" or fields[5].startswith("./usr/"))

    def test_lintian_finds_no_errors(self):
        result = run(["lintian", "--fail-on", "error", "--no-tag-display-limit", str(self.deb)])
        errors = [line for line in result.stdout.splitlines() if line.startswith("E:")]
        self.assertEqual(errors, [])
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)


if __name__ == "__main__":
    unittest.main()
