#!/usr/bin/env python3
"""The include check finds an include that points up the layers, and passes a sound tree."""
import pathlib
import runpy
import sys
import tempfile
import unittest

ROOT = pathlib.Path(__file__).resolve().parent.parent
# The checker is a script without a .py suffix: its functions are taken from running it as a
# module that is not the main one.
check = runpy.run_path(str(ROOT / "scripts/check-includes"), run_name="check_includes")["check"]


def tree(files: dict) -> pathlib.Path:
    root = pathlib.Path(tempfile.mkdtemp())
    for name, text in files.items():
        path = root / "src" / name
        path.parent.mkdir(parents=True, exist_ok=True)
        path.write_text(text, encoding="utf-8")
    return root


class IncludeRules(unittest.TestCase):
    def problems(self, files):
        return check(tree(files) / "src")

    def test_cases(self):
        cases = [
            # (files, number of problems expected)
            ({"store/A.cpp": '#include "common/MapTypes.h"\n#include <vector>\n'}, 0),
            ({"store/A.cpp": '#include "render/Viewport.h"\n'}, 1),
            ({"geo/Measure.h": '#include "store/FeatureStore.h"\n'}, 1),
            ({"render/R.h": '  #  include "canvas/MapCanvas.h"\n'}, 1),
            # The tool models the viewer's frame with the layout arithmetic alone: no header of
            # the viewer's windows or of the legend's widgets, whatever its name.
            ({"cli/C.cpp": '#include "layout/MapWindowLayout.h"\n#include "app/Mapform.h"\n'}, 1),
            ({"cli/C.cpp": '#include "app/MapWindowLayout.h"\n'}, 1),
            ({"cli/C.cpp": '#include "legend/LayerListForm.h"\n'}, 1),
            # The layout is arithmetic below the renderer; the query engine lies below the pages.
            ({"layout/L.cpp": '#include "render/Viewport.h"\n'}, 1),
            ({"query/Q.cpp": '#include "reports/DrillIdPage.h"\n'}, 1),
            ({"reports/R.cpp": '#include "query/LayerQuery.h"\n#include "layout/LegendText.h"\n'},
             1),
            ({"cli/C.cpp": '#include "tools/PlaceList.h"\n'}, 1),
            ({"app/M.cpp": '#include "cli/Cli.h"\n'}, 1),
            ({"newfolder/X.h": "\n"}, 1),
            ({"render/R.cpp": '#include "ogr_geometry.h"\n#include "gtest/gtest.h"\n'}, 0),
        ]
        for files, expected in cases:
            with self.subTest(files=files):
                self.assertEqual(len(self.problems(files)), expected, self.problems(files))

    def test_problem_names_file_line_and_header(self):
        [p] = self.problems({"store/B.cpp": '\n\n#include "render/Viewport.h"\n'})
        self.assertIn("src/store/B.cpp:3", p)
        self.assertIn('"render/Viewport.h"', p)

    def test_project_tree_follows_the_rule(self):
        self.assertEqual(check(ROOT / "src"), [])


if __name__ == "__main__":
    sys.exit(unittest.main())
