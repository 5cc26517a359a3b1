#!/usr/bin/env python3
"""A user's plain configure (no preset) reports warnings without failing on them; the presets fail.

A newer compiler brings new warnings: a user building a release with
`cmake -S . -B build -DCMAKE_BUILD_TYPE=Release` must not be stopped by one, while the presets
(what developers and CI build) keep treating them as errors. Both are read from the compile
commands a configure writes, without building anything.
"""
import json
import os
import pathlib
import shutil
import subprocess
import sys
import tempfile
import unittest

ROOT = pathlib.Path(__file__).resolve().parent.parent


def compile_flags(*configure_args: str) -> dict:
    """Configures the project in a fresh folder and returns each project source's flags."""
    build = pathlib.Path(tempfile.mkdtemp(prefix="plain-configure-"))
    try:
        env = dict(os.environ)
        # Only what the command line says counts, not a developer's environment.
        for name in ("CXXFLAGS", "CMAKE_BUILD_TYPE", "CMAKE_GENERATOR"):
            env.pop(name, None)
        generator = ["-G", "Ninja"] if shutil.which("ninja") else []
        subprocess.run(["cmake", "-S", str(ROOT), "-B", str(build), *generator, *configure_args],
                       check=True, stdout=subprocess.DEVNULL, env=env)
        commands = json.loads((build / "compile_commands.json").read_text(encoding="utf-8"))
        return {c["file"]: c["command"].split() for c in commands
                if c["file"].startswith(str(ROOT / "src"))}
    finally:
        shutil.rmtree(build, ignore_errors=True)


class PlainConfigure(unittest.TestCase):
    def test_release_configure_warns_without_failing(self):
        flags = compile_flags("-DCMAKE_BUILD_TYPE=Release")
        self.assertGreater(len(flags), 50)
        wrong = [source for source, args in flags.items()
                 if "-Wall" not in args or "-O3" not in args or "-Werror" in args]
        self.assertEqual(wrong, [], "without -Wall and -O3, or with -Werror")

    def test_option_turns_warnings_into_errors(self):
        flags = compile_flags("-DCMAKE_BUILD_TYPE=Release", "-DPELAGON_WARNINGS_AS_ERRORS=ON")
        self.assertTrue(all("-Werror" in args for args in flags.values()))

    def test_every_preset_fails_on_warnings(self):
        presets = json.loads((ROOT / "CMakePresets.json").read_text(encoding="utf-8"))
        by_name = {p["name"]: p for p in presets["configurePresets"]}

        def variable(preset, name):
            if name in preset.get("cacheVariables", {}):
                return preset["cacheVariables"][name]
            parents = preset.get("inherits", [])
            for parent in [parents] if isinstance(parents, str) else parents:
                if (value := variable(by_name[parent], name)) is not None:
                    return value
            return None

        for preset in by_name.values():
            if preset.get("hidden"):
                continue
            with self.subTest(preset=preset["name"]):
                self.assertEqual(variable(preset, "PELAGON_WARNINGS_AS_ERRORS"), "ON")


if __name__ == "__main__":
    sys.exit(unittest.main())
