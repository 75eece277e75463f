#!/usr/bin/env python3
"""Counts the JUnit reports of one test run: per suite, then in all.

Prints the tests that ran, failed and were skipped (with the reasons) for
each report, and ends with one line 'N passed, N failed, N skipped'.
Exits 1 when anything failed or a build broke."""
import collections
import pathlib
import sys
import xml.etree.ElementTree as ET


def count(report):
    tally = collections.Counter()
    reasons = collections.Counter()
    for case in ET.parse(report).getroot().iter("testcase"):
        skipped = case.find("skipped")
        if case.find("failure") is not None or case.find("error") is not None:
            tally["failed"] += 1
        elif skipped is not None:
            tally["skipped"] += 1
            reason = (skipped.get("message") or skipped.text or "no reason given").strip()
            reasons[reason.splitlines()[0][:160]] += 1
        else:
            tally["passed"] += 1
    return tally, reasons


def main(folder):
    folder = pathlib.Path(folder)
    total = collections.Counter()
    print("\n== test summary ==")
    for report in sorted(folder.glob("*.xml")):
        tally, reasons = count(report)
        total.update(tally)
        ran = tally["passed"] + tally["failed"]
        print(f"{report.stem:14} ran {ran:4}  passed {tally['passed']:4}  "
              f"failed {tally['failed']:3}  skipped {tally['skipped']:3}")
        for reason, n in sorted(reasons.items()):
            print(f"{'':16}skipped {n}x: {reason}")
    errors = folder / "errors.txt"
    if errors.exists():
        print(errors.read_text().strip())
    print(f"{total['passed']} passed, {total['failed']} failed, {total['skipped']} skipped")
    return 1 if total["failed"] or errors.exists() or not total["passed"] else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
