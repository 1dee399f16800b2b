#!/usr/bin/env python3
"""Checks the folder rules of the product code: every #include "X.h" names a
header of the folder itself or of a folder it may use, the core and the
virtual device include no Qt, and no folder holds more than 35 % of the
product's lines.

Usage: check-layout.py SOURCE_DIR
"""
import pathlib
import re
import sys

MAY_USE = {
    "core": set(),
    "serial": {"core"},
    "pages": set(),
    "textview": {"core", "pages"},
    "ui": {"core", "serial", "textview"},
    "dialogs": {"ui", "serial", "core"},
    "session": {"serial", "core"},
    "charts": {"session", "core"},
    "window": {"charts", "dialogs", "ui", "session", "serial", "core"},
    "app": {"window", "charts", "dialogs", "ui", "textview", "session", "serial", "core"},
    "tools/device": set(),
}
NO_QT = {"core", "pages", "tools/device"}
PRODUCT = ["core", "serial", "pages", "textview", "ui", "dialogs", "session", "charts", "window",
           "app"]
LARGEST_SHARE = 0.35

INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]', re.M)


def sources(folder):
    return sorted(p for p in folder.rglob("*") if p.suffix in (".h", ".cpp"))


def main():
    root = pathlib.Path(sys.argv[1]).resolve()
    owner = {}
    for name in MAY_USE:
        for path in sources(root / name):
            owner.setdefault(path.name, name)

    faults = []
    for name, allowed in MAY_USE.items():
        for path in sources(root / name):
            text = path.read_text(encoding="utf-8")
            for kind, header in INCLUDE.findall(text):
                where = path.relative_to(root)
                if kind == "<" and name in NO_QT and header.startswith("Q"):
                    faults.append(f"{where}: includes <{header}>, but {name}/ uses no Qt")
                if kind != '"':
                    continue
                home = owner.get(pathlib.PurePath(header).name)
                if home is None or home == name:
                    continue
                if home not in allowed:
                    faults.append(f"{where}: includes {header} from {home}/, "
                                  f"which {name}/ may not use")

    lines = {name: sum(len(p.read_text(encoding="utf-8").splitlines())
                       for p in sources(root / name)) for name in PRODUCT}
    total = sum(lines.values())
    for name, count in lines.items():
        share = count / total
        print(f"{name + '/':12} {count:6} lines  {share:6.1%}")
        if share > LARGEST_SHARE:
            faults.append(f"{name}/ holds {share:.0%} of the product's lines "
                          f"(more than {LARGEST_SHARE:.0%}): it holds two things; split it")

    for fault in faults:
        print(fault, file=sys.stderr)
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
