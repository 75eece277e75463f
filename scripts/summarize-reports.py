#!/usr/bin/env python3
"""Counts the JUnit reports of one test run: per suite, per flavour, in all.

Prints the tests that ran, failed and were skipped (with the reasons) for
each report, then the same per flavour (the last word of a report's name:
unit-windows and e2e-windows are both 'windows'), and ends with one line
'N passed, N failed, N skipped'. Exits 1 when anything failed or a build
broke."""
import collections
import pathlib
import re
import sys
import xml.etree.ElementTree as ET

# ctest marks a GoogleTest case that called GTEST_SKIP() with this message
# only; the reason is in the case's output, after "<file>:<line>: Skipped".
CTEST_SKIP_MESSAGE = "SKIP_REGULAR_EXPRESSION_MATCHED"
GTEST_SKIP_LINE = re.compile(r"^.*:\d+: Skipped\s*$")


def gtest_skip_reason(output):
    lines = output.splitlines()
    for i, line in enumerate(lines):
        if GTEST_SKIP_LINE.match(line):
            reason = []
            for follow in lines[i + 1:]:
                if follow.startswith("[  SKIPPED ]"):
                    break
                if follow.strip():
                    reason.append(follow.strip())
            return " ".join(reason)
    return ""


def skip_reason(case, skipped):
    reason = (skipped.get("message") or skipped.text or "").strip()
    if not reason or reason == CTEST_SKIP_MESSAGE:
        output = case.findtext("system-out") or ""
        reason = gtest_skip_reason(output) or reason
    return reason or "no reason given"


def count(report):
    tally = collections.Counter()
    reasons = collections.Counter()
    for case in ET.parse(report).getroot().iter("testcase"):
        skipped = case.find("skipped")
        if case.find("failure") is not None or case.find("error") is not None:
            tally["failed"] += 1
        elif skipped is not None:
            tally["skipped"] += 1
            reasons[skip_reason(case, skipped).splitlines()[0][:160]] += 1
        else:
            tally["passed"] += 1
    return tally, reasons


def print_tally(name, tally):
    ran = tally["passed"] + tally["failed"]
    print(f"{name:16} ran {ran:4}  passed {tally['passed']:4}  "
          f"failed {tally['failed']:3}  skipped {tally['skipped']:3}")


def main(folder):
    folder = pathlib.Path(folder)
    total = collections.Counter()
    flavours = collections.defaultdict(collections.Counter)
    print("\n== test summary ==")
    for report in sorted(folder.glob("*.xml")):
        tally, reasons = count(report)
        total.update(tally)
        flavours[report.stem.rsplit("-", 1)[-1]].update(tally)
        print_tally(report.stem, tally)
        for reason, n in sorted(reasons.items()):
            print(f"{'':18}skipped {n}x: {reason}")
    print("-- per flavour --")
    for flavour, tally in sorted(flavours.items()):
        print_tally(flavour, tally)
    errors = folder / "errors.txt"
    if errors.exists():
        print(errors.read_text().strip())
    print(f"{total['passed']} passed, {total['failed']} failed, {total['skipped']} skipped")
    return 1 if total["failed"] or errors.exists() or not total["passed"] else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
