#!/usr/bin/env python3
"""Tests of scripts/check-layers on small trees made for each case.

Every case uses the project's own table (scripts/layers.txt), so what they
show holds for the project: a clean tree passes, and one wrong include of
each kind the table forbids fails with a line naming the file and the fault.
"""

import os
import subprocess
import sys
import tempfile
import textwrap
import unittest

SOURCE_DIR = os.environ.get("ORV_TEST_SOURCE_DIR") or os.path.dirname(os.path.dirname(os.path.dirname(
    os.path.abspath(__file__))))
CHECKER = os.path.join(SOURCE_DIR, "scripts", "check-layers")
TABLE = os.path.join(SOURCE_DIR, "scripts", "layers.txt")

# A tree that keeps to the table: headers included along the allowed
# directions, through more than one layer, from the same folder by a path
# beside the source, and a leaf included by the core.
CLEAN_TREE = {
    "platform/os/folders.h": "#pragma once\n#include <string>\n",
    "core/base/configuration.h": '#pragma once\n#include "platform/os/folders.h"\n',
    "custom_traces/custom_trace.h": '#pragma once\n#include "core/base/configuration.h"\n',
    "instruments/records/instrument_records.h": "#pragma once\n#include <cstdint>\n",
    "core/experiment/experiment_data.h": textwrap.dedent("""\
        #pragma once
        #include "custom_traces/custom_trace.h"
        #include "instruments/records/instrument_records.h"
        """),
    "core/experiment/experiment_data.cpp": '#include "experiment_data.h"\n#include <vector>\n',
    "instruments/device.h": '#pragma once\n#include "core/experiment/experiment_data.h"\n',
    "platform/ui/docking_pane.h": '#pragma once\n#include <QDockWidget>\n#include "core/base/configuration.h"\n',
    "instruments/ui/flow_pane.cpp": textwrap.dedent("""\
        #include <QLineEdit>
        #include "instruments/device.h"
        #include "platform/os/folders.h"
        #include "platform/ui/docking_pane.h"
        """),
    "updater/exports/exports.cpp": '#include "updater/update.h"\n',
    "platform/sim/vessel_camera.h": '#pragma once\n#include "platform/os/folders.h"\n',
    "platform/cameras/camera_list.cpp": '#include "platform/os/folders.h"\n',
    "shell/program/lab_choice.cpp": '#include "platform/sim/vessel_camera.h"\n#include "shell/main_frame.h"\n',
    "video/camera_window.cpp": '#include "platform/cameras/camera_list.cpp"\n#include <QWidget>\n',
    "updater/update.h": '#pragma once\n#include "core/experiment/experiment_data.h"\n',
    "tests/instruments/device_test.cpp": '#include <QTest>\n#include "instruments/ui/flow_pane.cpp"\n',
    # Not a source: never read.
    "core/base/notes.txt": '#include "shell/main_frame.h"\n',
    # A comment is not an include.
    "core/base/helpers.h": '#pragma once\n// #include "instruments/device.h"\n',
}

# (what the case shows, the file added to the clean tree, its text, the
# report line expected).
WRONG_INCLUDES = [
    ("the core includes no driver", "core/experiment/session.cpp",
     '#include <vector>\n#include "instruments/device.h"\n',
     "core/experiment/session.cpp:2: core/experiment may not include instruments/device.h (of instruments)"),
    ("headless code includes no Qt", "core/base/text.cpp", '#include <QString>\n',
     "core/base/text.cpp:1: core/base is headless and may not include Qt <QString>"),
    ("Qt is not passed on to the layers above a GUI folder's headless part", "instruments/sampler.cpp",
     '#include <QtCore/QThread>\n', "instruments/sampler.cpp:1: instruments is headless and may not include Qt"),
    ("the platform includes nothing above it", "platform/os/registry.cpp",
     '#include "core/base/configuration.h"\n',
     "platform/os/registry.cpp:1: platform/os may not include core/base/configuration.h (of core/base)"),
    ("the GUI platform includes no pane", "platform/ui/frame.cpp", '#include "instruments/ui/flow_pane.cpp"\n',
     "platform/ui/frame.cpp:1: platform/ui may not include instruments/ui/flow_pane.cpp (of instruments/ui)"),
    ("a control includes nothing of the shell", "graph_control/graph.cpp",
     '#include "shell/main_frame.h"\n',
     "graph_control/graph.cpp:1: graph_control may not include shell/main_frame.h (of shell)"),
    ("custom traces include nothing of the experiment record", "custom_traces/context.cpp",
     '#include "../core/experiment/experiment_data.h"\n',
     "custom_traces/context.cpp:1: custom_traces may not include core/experiment/experiment_data.h"),
    ("a leaf includes nothing of the project", "instruments/records/more_records.h",
     '#pragma once\n#include "core/base/configuration.h"\n',
     "instruments/records/more_records.h:2: instruments/records/more_records.h is a leaf and may not include"),
    ("the simulated lab is started by the program's entry point only", "shell/simulated_start.cpp",
     '#include "platform/sim/vessel_camera.h"\n',
     "shell/simulated_start.cpp:1: shell may not include platform/sim/vessel_camera.h (of platform/sim)"),
    ("the platform's base knows no simulated lab", "platform/os/device_list.cpp",
     '#include "platform/sim/vessel_camera.h"\n',
     "platform/os/device_list.cpp:1: platform/os may not include platform/sim/vessel_camera.h (of platform/sim)"),
    ("the camera stand-ins know no simulated lab", "platform/cameras/lab_cameras.cpp",
     '#include "platform/sim/vessel_camera.h"\n',
     "platform/cameras/lab_cameras.cpp:1: platform/cameras may not include platform/sim/vessel_camera.h (of platform/sim)"),
    ("a folder the table does not know", "gadgets/gadget.cpp", '#include <vector>\n',
     "gadgets/gadget.cpp:1: gadgets has no row in the table of layers"),
]


def write_tree(root, files):
    for path, text in files.items():
        full = os.path.join(root, path)
        os.makedirs(os.path.dirname(full), exist_ok=True)
        with open(full, "w", encoding="utf-8") as f:
            f.write(text)


def run_checker(root, table=TABLE):
    return subprocess.run([sys.executable, CHECKER, "--root", root, "--table", table],
                          capture_output=True, text=True)


class CheckLayersTest(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.TemporaryDirectory(prefix="layers-")
        self.root = self.dir.name
        write_tree(self.root, CLEAN_TREE)
        # The missing headers the wrong includes name exist, so that each is
        # judged by its layer and not taken for a header from outside.
        write_tree(self.root, {"shell/main_frame.h": "#pragma once\n"})

    def tearDown(self):
        self.dir.cleanup()

    def test_a_tree_that_keeps_to_the_table_passes(self):
        result = run_checker(self.root)
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
        self.assertEqual(result.stdout.strip(), "check-layers: every include follows " +
                         os.path.relpath(TABLE, self.root))

    def test_each_wrong_include_fails_with_its_file_line_and_fault(self):
        for what, path, text, expected in WRONG_INCLUDES:
            with self.subTest(what):
                write_tree(self.root, {path: text})
                try:
                    result = run_checker(self.root)
                finally:
                    os.remove(os.path.join(self.root, path))
                self.assertEqual(result.returncode, 1, result.stdout + result.stderr)
                lines = result.stdout.splitlines()
                self.assertEqual(len(lines), 1, result.stdout)
                self.assertTrue(lines[0].startswith(expected), lines[0])

    def test_every_fault_of_a_tree_is_reported(self):
        for _, path, text, _ in WRONG_INCLUDES:
            write_tree(self.root, {path: text})
        result = run_checker(self.root)
        self.assertEqual(result.returncode, 1)
        self.assertEqual(len(result.stdout.splitlines()), len(WRONG_INCLUDES), result.stdout)

    def test_a_table_with_a_fault_is_refused(self):
        cases = [
            ("platform/os\ncore/base   platform/os\ninstruments core/nothing\n", "instruments names core/nothing, which has no row"),
            ("core/base\ncore/base platform/os\nplatform/os\n", "core/base has two rows"),
            ("\n   core/base\n", "an indented line continues no row"),
            ("platform/os\nvideo (platform/simulator)\n", "video names platform/simulator, which has no row"),
        ]
        for text, expected in cases:
            with self.subTest(expected):
                table = os.path.join(self.root, "table.txt")
                with open(table, "w", encoding="utf-8") as f:
                    f.write(text)
                result = run_checker(self.root, table)
                self.assertEqual(result.returncode, 2)
                self.assertIn(expected, result.stderr)


if __name__ == "__main__":
    unittest.main(verbosity=2)
