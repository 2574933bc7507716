#!/usr/bin/env python3
"""check_layers.py ROOT: fails when the tree leaves its layers.
check_layers.py --self-test: shows on a small made-up tree that the check finds what it should.

A folder includes only from folders of a lower layer; folders of one layer do not include each
other. A folder's CMakeLists.txt compiles only its own sources. Tests, benchmarks and fuzz targets
may reach anywhere.
"""

import os
import re
import sys

# Bottom first.
LAYERS = [
    ["resources"],
    ["platform"],
    ["framework"],
    ["interop", "widgets"],
    ["devapi"],
    ["capture"],
    ["protocol"],
    ["filters", "curves", "transmit", "device", "candb", "overview"],
    ["document"],
    ["views"],
    ["app"],
]

# Beside the program.
HOST = {
    "adapter": {"resources", "platform", "framework", "interop"},
    "driver": {"resources", "platform", "framework", "interop", "adapter"},
    "tools": {"resources", "platform", "devapi"},
}

# Reach anywhere.
FREE = {"tests", "fuzz"}
FREE_SUBFOLDERS = {"tests", "bench"}
# No code of the program: the build's scripts and sample files.
DATA = {"scripts", "examples"}

INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"]+)"')
SOURCE_SUFFIXES = (".h", ".hpp", ".cpp", ".cc", ".c")


def allowed_folders():
    allowed = {}
    below = set()
    for layer in LAYERS:
        for folder in layer:
            allowed[folder] = set(below)
        below.update(layer)
    allowed.update(HOST)
    return allowed


def folder_files(root, folder):
    for path, dirs, files in os.walk(os.path.join(root, folder)):
        dirs[:] = sorted(d for d in dirs if d not in FREE_SUBFOLDERS)
        for name in sorted(files):
            yield os.path.join(path, name)


def problems_in(root):
    allowed = allowed_folders()
    known = set(allowed) | FREE
    problems = []
    for folder in sorted(os.listdir(root)):
        if folder.startswith(".") or folder.startswith("build") or folder in FREE:
            continue
        if not os.path.isdir(os.path.join(root, folder)):
            continue
        if folder in DATA:
            continue
        if folder not in allowed:
            problems.append(f"{folder}/: a folder with no place in the layers")
            continue
        for path in folder_files(root, folder):
            rel = os.path.relpath(path, root)
            name = os.path.basename(path)
            if name == "CMakeLists.txt":
                with open(path, encoding="utf-8", errors="replace") as f:
                    for number, line in enumerate(f, 1):
                        if "../" in line.split("#", 1)[0]:
                            problems.append(f"{rel}:{number}: reaches into another folder: "
                                            f"{line.strip()}")
                continue
            if not name.endswith(SOURCE_SUFFIXES):
                continue
            with open(path, encoding="utf-8", errors="replace") as f:
                for number, line in enumerate(f, 1):
                    match = INCLUDE.match(line)
                    if match is None:
                        continue
                    included = match.group(1)
                    if included.startswith("../"):
                        problems.append(f"{rel}:{number}: includes by a relative path: {included}")
                        continue
                    if "/" not in included:
                        continue  # beside the file
                    target = included.split("/", 1)[0]
                    if target == folder or target not in known:
                        continue
                    if target not in allowed[folder]:
                        problems.append(f"{rel}:{number}: {folder}/ may not include {included}")
    return problems


def self_test():
    import shutil
    import tempfile

    def tree(files):
        root = tempfile.mkdtemp(prefix="layers-")
        made.append(root)
        for rel, text in files.items():
            os.makedirs(os.path.dirname(os.path.join(root, rel)), exist_ok=True)
            with open(os.path.join(root, rel), "w", encoding="utf-8") as f:
                f.write(text)
        return root

    clean = {
        "document/Doc.h": '#include "capture/FrameStore.h"\n#include "filters/Filter.h"\n',
        "capture/FrameStore.h": '#include "devapi/Api.h"\n#include "Beside.h"\n',
        "capture/tests/T.cpp": '#include "app/MainFrame.h"\n',
        "app/CMakeLists.txt": "add_library(gui STATIC MainFrame.cpp)\n",
    }
    wrong = {
        "capture/FrameStore.h": '#include "document/Doc.h"\n',
        "filters/Filter.h": '  #  include "curves/Curve.h"\n',
        "views/View.cpp": '#include "../app/MainFrame.h"\n',
        "app/CMakeLists.txt": "add_library(gui STATIC ../views/View.cpp)\n",
        "gadgets/Thing.h": "\n",
    }
    made = []
    failures = []
    found = problems_in(tree(clean))
    if found:
        failures.append(f"a tree in order was refused: {found}")
    found = problems_in(tree(wrong))
    for expected in ["capture/FrameStore.h:1", "filters/Filter.h:1", "views/View.cpp:1",
                     "app/CMakeLists.txt:1", "gadgets/"]:
        if not any(p.startswith(expected) for p in found):
            failures.append(f"not found: {expected} (found {found})")
    for root in made:
        shutil.rmtree(root)
    for failure in failures:
        print(failure)
    return 1 if failures else 0


def main():
    if len(sys.argv) > 1 and sys.argv[1] == "--self-test":
        return self_test()
    problems = problems_in(os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else "."))
    for problem in problems:
        print(problem)
    if problems:
        print(f"{len(problems)} include(s) against the layers")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
