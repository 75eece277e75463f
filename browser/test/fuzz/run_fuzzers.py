#!/usr/bin/env python3
"""Builds and runs the libFuzzer targets of the `fuzz` preset.

  run_fuzzers.py [--seconds S] [--runs N] [--junit FILE] [--log FILE]
                 [--timeout T] [--bin FOLDER] [--no-build] [TARGET...]

Each target (default: all) fuzzes for S seconds (default 300), or until N
runs when --runs is given, starting from its corpus in corpus/<target>. New
inputs that add coverage stay in build/fuzz/work/<target>; an input that
makes a target fail is written into corpus/<target> as crash-<hash>, so it
becomes a regression input that every later run replays, fuzzing or not.

--junit writes one test case per target for the test summary; --log appends
one line per target (date, commit, runs, seconds, result).
"""
import argparse
import datetime
import os
import re
import subprocess
import sys
import time
import xml.etree.ElementTree as ET
from pathlib import Path

REPO = Path(__file__).resolve().parents[3]
BIN = REPO / "build" / "fuzz" / "bin"
WORK = REPO / "build" / "fuzz" / "work"
CORPORA = Path(__file__).resolve().parent / "corpus"
RUNS = re.compile(r"stat::number_of_executed_units:\s*(\d+)")


def build():
    if not (REPO / "build" / "fuzz" / "build.ninja").exists():
        subprocess.run(["cmake", "--preset", "fuzz"], cwd=REPO, check=True,
                       stdout=subprocess.DEVNULL)
    log = REPO / "build" / "fuzz.build.log"
    with open(log, "w") as out:
        done = subprocess.run(["cmake", "--build", "--preset", "fuzz", "--", f"-j{os.cpu_count()}"],
                              cwd=REPO, stdout=out, stderr=subprocess.STDOUT)
    if done.returncode != 0:
        sys.stderr.write(log.read_text()[-6000:])
        sys.exit(f"build of preset 'fuzz' failed (full log: {log})")


def all_targets():
    return sorted(p.name[:-len("_fuzzer")] for p in BIN.glob("*_fuzzer"))


def crashes(target):
    return {p.name for p in (CORPORA / target).glob("crash-*")} | \
        {p.name for p in (CORPORA / target).glob("leak-*")} | \
        {p.name for p in (CORPORA / target).glob("timeout-*")} | \
        {p.name for p in (CORPORA / target).glob("oom-*")}


def run(target, seconds, runs, timeout):
    work = WORK / target
    work.mkdir(parents=True, exist_ok=True)
    corpus = CORPORA / target
    before = crashes(target)
    # Inputs that are merely slow (a starved machine) are not artifacts.
    command = [str(BIN / f"{target}_fuzzer"), f"-max_total_time={seconds}",
               f"-artifact_prefix={corpus}/", f"-timeout={timeout}",
               f"-report_slow_units={timeout}", "-print_final_stats=1",
               str(work), str(corpus)]
    if runs:
        command.insert(1, f"-runs={runs}")
    started = time.monotonic()
    done = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                          text=True, errors="replace")
    elapsed = time.monotonic() - started
    found = sorted(crashes(target) - before)
    executed = RUNS.findall(done.stdout)
    return {
        "target": target, "output": done.stdout, "seconds": elapsed,
        "runs": int(executed[-1]) if executed else 0,
        "ok": done.returncode == 0 and not found, "found": found,
    }


def commit():
    done = subprocess.run(["git", "rev-parse", "--short", "HEAD"], cwd=REPO,
                          stdout=subprocess.PIPE, text=True)
    return done.stdout.strip() or "unknown"


def write_junit(path, results):
    suite = ET.Element("testsuite", name="fuzz", tests=str(len(results)),
                       failures=str(sum(not r["ok"] for r in results)))
    for r in results:
        case = ET.SubElement(suite, "testcase", classname="fuzz", name=r["target"],
                             time=f"{r['seconds']:.1f}")
        ET.SubElement(case, "system-out").text = r["output"][-20000:]
        if not r["ok"]:
            ET.SubElement(case, "failure", message="new failing input: " +
                          (", ".join(r["found"]) or "the fuzzer stopped with an error"))
    ET.ElementTree(suite).write(path, encoding="utf-8", xml_declaration=True)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("targets", nargs="*")
    parser.add_argument("--seconds", type=int, default=300)
    parser.add_argument("--runs", type=int)
    parser.add_argument("--timeout", type=int, default=120,
                        help="seconds one input may take (raise it on a starved machine)")
    parser.add_argument("--junit")
    parser.add_argument("--log")
    parser.add_argument("--no-build", action="store_true")
    parser.add_argument("--bin", type=Path, help="run the targets in this folder (implies --no-build)")
    args = parser.parse_args()
    global BIN
    if args.bin:
        BIN, args.no_build = args.bin.resolve(), True
    if not args.no_build:
        build()
    # Targets from another folder were built from whatever they were built
    # from; only the folder can be named for them.
    fuzzed = f"targets in {BIN}" if args.bin else f"commit {commit()}"
    results = []
    for target in args.targets or all_targets():
        result = run(target, args.seconds, args.runs, args.timeout)
        results.append(result)
        verdict = "ok" if result["ok"] else "FAILED " + " ".join(result["found"])
        line = (f"{datetime.datetime.now(datetime.timezone.utc):%Y-%m-%d %H:%M} UTC "
                f"{fuzzed} {target}: {result['runs']} runs in "
                f"{result['seconds']:.0f} s, {verdict}")
        print(line, flush=True)
        if not result["ok"]:
            print(result["output"][-6000:])
        if args.log:
            with open(args.log, "a") as log:
                log.write(line + "\n")
    if args.junit:
        write_junit(args.junit, results)
    return 0 if all(r["ok"] for r in results) else 1


if __name__ == "__main__":
    sys.exit(main())
