#!/usr/bin/env python3
"""Checks that the host's folders include one another only downward.

  scripts/check-layers.py [SOURCE_ROOT]

Each folder of browser/src/BrowserBrokers is a layer and may include only
from itself and the layers below it (see LAYERS); the entry point alone
(channel/host_main.cpp) wires every layer together and may include from all.
Prints each include that goes against the order, as `file:line: includes
folder/header.h (folder may include only ...)`, and exits 1 if there is one."""
import pathlib
import re
import sys

# Each layer and the layers it may include from, itself among them. From the
# bottom: the platform; messages and protection on it, side by side; the
# channel on those; handling and the designer relay on messages, side by side.
LAYERS = {
    "platform": {"platform"},
    "protection": {"platform", "protection"},
    "messages": {"platform", "messages"},
    "channel": {"platform", "protection", "messages", "channel"},
    "handling": {"platform", "protection", "messages", "handling"},
    "designer": {"platform", "messages", "designer"},
}
ENTRY_POINT = "channel/host_main.cpp"
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"/]+)/[^"]+"')


def violations(root: pathlib.Path):
    for path in sorted(root.rglob("*")):
        if path.suffix not in (".h", ".cpp") or not path.is_file():
            continue
        relative = path.relative_to(root).as_posix()
        layer = relative.split("/")[0]
        if layer not in LAYERS:
            yield f"{relative}: lies in no layer (one of {', '.join(LAYERS)})"
            continue
        allowed = set(LAYERS) if relative == ENTRY_POINT else LAYERS[layer]
        for number, line in enumerate(path.read_text(encoding="utf-8").splitlines(), 1):
            match = INCLUDE.match(line)
            if match and match.group(1) in LAYERS and match.group(1) not in allowed:
                header = line.split('"')[1]
                yield (f"{relative}:{number}: includes {header} "
                       f"({layer} may include only {', '.join(sorted(allowed))})")


def main() -> int:
    default = pathlib.Path(__file__).resolve().parent.parent / "browser/src/BrowserBrokers"
    root = pathlib.Path(sys.argv[1]) if len(sys.argv) > 1 else default
    found = list(violations(root))
    for violation in found:
        print(violation)
    print(f"layers: {len(found)} include(s) against the order" if found else "layers: every include goes downward")
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main())
