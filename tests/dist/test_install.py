"""`cmake --install` into scratch folders: under DESTDIR with the prefix /usr, and straight into a
per-user prefix, as `cmake --install build --prefix ~/.local` does. Each tree gets every check of
installed.py.

    PELAGON_BUILD_DIR=build python3 tests/dist/test_install.py
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


def cmake_install(prefix, destdir=None):
    env = dict(os.environ)
    env.pop("DESTDIR", None)
    if destdir is not None:
        env["DESTDIR"] = str(destdir)
    result = subprocess.run(["cmake", "--install", str(BUILD), "--prefix", str(prefix)],
                            env=env, capture_output=True, text=True, timeout=300)
    if result.returncode != 0:
        raise AssertionError(f"cmake --install failed:\n{result.stdout}{result.stderr}")


class SystemInstall(installed.InstalledChecks, unittest.TestCase):
    """DESTDIR=scratch cmake --install build --prefix /usr"""

    @classmethod
    def setUpClass(cls):
        cls.scratch = tempfile.TemporaryDirectory(prefix="pelagon-install-")
        root = pathlib.Path(cls.scratch.name) / "root"
        cmake_install("/usr", destdir=root)
        cls.installed = installed.InstalledTree(root / "usr", pathlib.Path(cls.scratch.name))

    @classmethod
    def tearDownClass(cls):
        cls.scratch.cleanup()

    def tree(self):
        return self.installed

    def version(self):
        return installed.project_version(BUILD)

    def test_nothing_lands_outside_the_prefix(self):
        root = self.installed.prefix.parent
        self.assertEqual(sorted(p.name for p in root.iterdir()), ["usr"])


class UserInstall(installed.InstalledChecks, unittest.TestCase):
    """cmake --install build --prefix SCRATCH/home/.local"""

    @classmethod
    def setUpClass(cls):
        cls.scratch = tempfile.TemporaryDirectory(prefix="pelagon-install-")
        prefix = pathlib.Path(cls.scratch.name) / "home" / ".local"
        cmake_install(prefix)
        cls.installed = installed.InstalledTree(prefix, pathlib.Path(cls.scratch.name))

    @classmethod
    def tearDownClass(cls):
        cls.scratch.cleanup()

    def tree(self):
        return self.installed

    def version(self):
        return installed.project_version(BUILD)


if __name__ == "__main__":
    unittest.main()
