#!/usr/bin/env python3
"""Checks that the layers point one way: ball <- sound <- window, and each
platform's headers stay in that platform's folders. Usage: layers_test.py TOP"""

import re
import sys
from pathlib import Path

PRODUCT = ("ball", "sound", "window", "assets")
SOURCES = {".h", ".cpp", ".in"}
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]', re.M)

# Each platform's headers, and the folders that may include them.
PLATFORMS = [
    (re.compile(r"(windows|windowsx|mmsystem|shellapi|commctrl)\.h$", re.I),
     ("window/win32", "sound/win32", "assets/win32")),
    (re.compile(r"Q|X11/|xcb/|unistd\.h$|pthread\.h$|dlfcn\.h$|fcntl\.h$|sys/"), ("window/qt", "sound/linux")),
    (re.compile(r"pulse/"), ("sound/linux",)),
    (re.compile(r"emscripten"), ("window/web", "sound/web")),
]


def faults(top):
    for path in sorted(p for folder in PRODUCT for p in (top / folder).rglob("*") if p.suffix in SOURCES):
        where = path.relative_to(top).as_posix()
        layer = where.split("/")[0]
        for quote, name in INCLUDE.findall(path.read_text(encoding="utf-8", errors="replace")):
            if quote == '"':
                found = [f for f in [path.parent / name] + [top / d / name for d in PRODUCT] if f.is_file()]
                target = found[0].resolve().relative_to(top.resolve()).as_posix() if found else ""
                if layer == "ball" and not target.startswith("ball/"):
                    yield f"{where}: includes {name}, outside ball/"
                if layer == "sound" and target.startswith("window/"):
                    yield f"{where}: includes {name}, from window/"
                continue
            if layer == "ball" and ("." in name or "/" in name or name[0].isupper()):
                yield f"{where}: includes <{name}>, not the C++ standard library"
            for header, folders in PLATFORMS:
                if header.match(name) and not where.startswith(tuple(f + "/" for f in folders)):
                    yield f"{where}: includes <{name}> outside {', '.join(folders)}"


if __name__ == "__main__":
    found = list(faults(Path(sys.argv[1])))
    print(*found, f"{len(found)} layer fault(s)", sep="\n")
    sys.exit(1 if found else 0)
