#!/usr/bin/env python3
"""The layer checker on a small tree of three layers (base/ under mid/ under
top/, mid/ holding a header private to it), each case planting one fault or
one allowed use and naming what the checker must say."""

import os
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import check_layers  # noqa: E402

TABLE = """\
layer base base
layer mid  mid  base
layer top  top  mid
private mid/Private.h mid
"""

MAP = """\
target base base
source base/Base.cpp
header base/Base.h
link_libraries
interface_link_libraries
target mid mid
source mid/Mid.cpp
header mid/Mid.h
header mid/Private.h
link_libraries base
interface_link_libraries base
target top top
source top/Top.cpp
header top/Top.h
link_libraries mid
interface_link_libraries mid
"""

FILES = {
    "base/Base.h": "#pragma once\n",
    "base/Base.cpp": '#include "base/Base.h"\n',
    "mid/Mid.h": '#pragma once\n#include "base/Base.h"\n',
    "mid/Private.h": "#pragma once\n",
    "mid/Mid.cpp": '#include "mid/Mid.h"\n#include "mid/Private.h"\n',
    "top/Top.h": '#pragma once\n#include "mid/Mid.h"\n',
    # base/ comes through mid's link: a layer may use what its uses use.
    "top/Top.cpp": '#include "top/Top.h"\n#include "base/Base.h"\n#include <vector>\n',
    "tests/Helper.h": "#pragma once\n",
}

README = """\
## Design

| folder | library | may use | what it holds |
|---|---|---|---|
| `base/` | `base` | | the bottom |
| `mid/` | `mid` | `base` | the middle |
| `top/` | `top` | `mid` | the top |

## Next
"""


def run(files=None, table=TABLE, layer_map=MAP, readme=None):
    tree = dict(FILES)
    tree.update(files or {})
    with tempfile.TemporaryDirectory() as root:
        for path, text in tree.items():
            os.makedirs(os.path.join(root, os.path.dirname(path)), exist_ok=True)
            with open(os.path.join(root, path), "w", encoding="utf-8") as f:
                f.write(text)
        return check_layers.check(root, table, layer_map, readme)


class LayerCheckerTest(unittest.TestCase):
    def test_clean_tree_passes(self):
        self.assertEqual(run(readme=README), [])

    def test_each_fault_is_named(self):
        # (what is planted, files, table, map, the words of the one fault)
        cases = [
            ("upward include", {"base/Base.cpp": '#include "base/Base.h"\n#include "mid/Mid.h"\n'},
             TABLE, MAP, "base/Base.cpp:2: includes mid/Mid.h: base (base/) does not link mid (mid/)"),
            ("upward include in a header", {"base/Base.h": '#pragma once\n  #  include "top/Top.h"\n'},
             TABLE, MAP, "base/Base.h:2: includes top/Top.h: base (base/) does not link top (top/)"),
            ("private header from above", {"top/Top.cpp": '#include "mid/Private.h"\n'},
             TABLE, MAP, "top/Top.cpp:1: includes mid/Private.h, which is private to mid, in top (top/)"),
            ("header of no layer", {"top/Top.cpp": '#include "tests/Helper.h"\n'},
             TABLE, MAP, "top/Top.cpp:1: includes tests/Helper.h, which is a header of no layer"),
            ("path not from the root", {"top/Top.cpp": '#include "Top.h"\n'},
             TABLE, MAP, "top/Top.cpp:1: includes Top.h, which is no root-relative path"),
            ("link outside the table", {}, TABLE,
             MAP.replace("link_libraries base\ninterface_link_libraries base\n",
                         "link_libraries base top\ninterface_link_libraries base\n"),
             "mid (mid/) links top (top/), which cmake/layers.txt does not let it use"),
            ("use of a layer below it in the table", {},
             TABLE.replace("layer base base\n", "layer base base top\n"), MAP,
             "cmake/layers.txt:1: base may use top only if top has a line above it"),
            ("target missing from the table", {},
             TABLE.replace("layer top  top  mid\n", ""), MAP,
             "cmake/layers.txt: top (top/) has no line"),
            ("table line without its target", {}, TABLE + "layer extra extra top\n", MAP,
             "cmake/layers.txt:5: extra is built without ostrander_layer() in its folder"),
            ("stale allowance", {}, TABLE + "allow top/Top.cpp mid/Private.h\n", MAP,
             "cmake/layers.txt:5: top/Top.cpp no longer includes mid/Private.h: remove its allow line"),
        ]
        for name, files, table, layer_map, fault in cases:
            with self.subTest(name):
                faults = run(files, table, layer_map)
                self.assertEqual(len(faults), 1, faults)
                self.assertIn(fault, faults[0])

    def test_a_layer_the_configuration_skips_is_not_asked_for(self):
        table = TABLE + "layer extra extra top\n"
        self.assertEqual(run(table=table, layer_map=MAP + "skipped extra\n"), [])

    def test_linked_but_not_allowed_include(self):
        # mid links top by hand: the compile would pass, the table still refuses.
        layer_map = MAP.replace("link_libraries base\ninterface_link_libraries base\n",
                                "link_libraries base top\ninterface_link_libraries base top\n")
        faults = run({"mid/Mid.cpp": '#include "top/Top.h"\n'}, TABLE, layer_map)
        self.assertIn("mid/Mid.cpp:1: includes top/Top.h: cmake/layers.txt does not let "
                      "mid (mid/) use top (top/)", faults)

    def test_private_link_hands_on_no_headers(self):
        # top links mid, which links base only for itself: base/ is not visible to top.
        layer_map = MAP.replace("interface_link_libraries base\n", "interface_link_libraries\n")
        faults = run(layer_map=layer_map)
        self.assertEqual(faults, ["top/Top.cpp:2: includes base/Base.h: top (top/) does not "
                                  "link base (base/)"])

    def test_allowance_lets_exactly_its_file(self):
        table = TABLE + "allow top/Top.cpp mid/Private.h\n"
        files = {"top/Top.cpp": '#include "mid/Private.h"\n',
                 "top/Top.h": '#pragma once\n#include "mid/Private.h"\n'}
        self.assertEqual(run(files, table),
                         ["top/Top.h:2: includes mid/Private.h, which is private to mid, in top (top/)"])

    def test_readme_must_show_the_table(self):
        cases = [
            ("wrong use", README.replace("| `top` | `mid` |", "| `top` | `base` |"),
             "README.md: the Design table lets top/ use base, cmake/layers.txt mid"),
            ("missing row", README.replace("| `mid/` | `mid` | `base` | the middle |\n", ""),
             "README.md: the Design table has no row with a \"may use\" cell for mid/"),
            ("row cut short", README.replace("| `top/` | `top` | `mid` | the top |", "| `top/` | `top` |"),
             "README.md: the Design table lets top/ use nothing, cmake/layers.txt mid"),
        ]
        for name, readme, fault in cases:
            with self.subTest(name):
                self.assertEqual(run(readme=readme), [fault])

    def test_unreadable_table_line_is_reported(self):
        faults = run(table=TABLE + "layr top2 top\n")
        self.assertEqual(faults, ['cmake/layers.txt:5: cannot read "layr top2 top"'])


if __name__ == "__main__":
    unittest.main(verbosity=2)
