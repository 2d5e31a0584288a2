#!/usr/bin/env python3
"""skin/ in layers whose includes run one way, downwards:

  0  registry, drawing, subclassed window, handles, trace, window class
  1  the control base
  2  the painters (a painter may include the painter it derives from)
  3  the recognition table that builds them
  4  the manager, its public header, and the test-only views

Every file of skin/ must have a layer, and each "skin/..." include must name a
file of its own layer or one below. The public header includes no skin/ file.
"""
import pathlib
import re
import sys

SKIN = pathlib.Path(__file__).resolve().parents[2] / "skin"
BOTTOM = {"registry", "drawing", "subclassed_window", "handles", "trace", "window_class"}
TOP = {"skin_manager", "skin", "skin_testing"}
INCLUDE = re.compile(r'^\s*#\s*include\s+"skin/([^"]+)\.h"', re.M)


def layer(stem):
    if stem in BOTTOM:
        return 0
    if stem == "skinned_control":
        return 1
    if stem.startswith("skinned_"):
        return 2
    if stem == "recognition":
        return 3
    if stem in TOP:
        return 4
    return None


def problems(folder):
    found = []
    for path in sorted(folder.iterdir()):
        if path.suffix not in (".h", ".cpp"):
            continue
        own = layer(path.stem)
        if own is None:
            found.append(f"{path.name}: in no layer")
            continue
        for target in INCLUDE.findall(path.read_text()):
            theirs = layer(target)
            if theirs is None or theirs > own:
                found.append(f"{path.name} (layer {own}) includes {target}.h (layer {theirs})")
            elif path.name == "skin.h":
                found.append(f"skin.h, the public header, includes {target}.h")
    return found


def main():
    found = problems(SKIN)
    for line in found:
        print(line)
    print(f"{0 if found else 1} passed, {1 if found else 0} failed")
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main())
