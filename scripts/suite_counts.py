#!/usr/bin/python3
"""A test program's own report, read by scripts/test.sh: how many cases passed, failed and were
skipped as the developer asked (NIMBULON_SKIP). A case skipped without being asked is a failure,
named; so is a report with no case at all.

Usage: suite_counts.py ctest JUNIT.xml | gtest JSON...
Prints the cases that failed or skipped unasked, then appends "passed failed skipped" to the file
named by $NIMBULON_CHECKS.
"""
import json
import os
import sys
import xml.etree.ElementTree as ET

ASKED = "skipped as asked"


def ctest(path):
    """ctest --output-junit: a testcase holds <failure>, <skipped> or neither, and its output."""
    for case in ET.parse(path).getroot().iter("testcase"):
        out = "".join(case.itertext())
        if case.find("failure") is not None or case.get("status") == "fail":
            yield case.get("name"), "failed", ""
        elif case.find("skipped") is not None or case.get("status") in ("notrun", "disabled"):
            yield case.get("name"), "skipped" if ASKED in out else "unasked", case.get("status", "")
        else:
            yield case.get("name"), "passed", ""


def gtest(path):
    """--gtest_output=json: each test's result, its failures and (when skipped) its message."""
    for suite in json.load(open(path)).get("testsuites", []):
        for test in suite.get("testsuite", []):
            name = suite["name"] + "." + test["name"]
            if test.get("failures"):
                yield name, "failed", ""
            elif test.get("result") == "SKIPPED":
                message = json.dumps(test.get("skipped", ""))
                yield name, "skipped" if ASKED in message or os.environ.get("NIMBULON_SKIP") else "unasked", ""
            else:
                yield name, "passed", ""


def main():
    kind, paths = sys.argv[1], sys.argv[2:]
    counts = {"passed": 0, "failed": 0, "skipped": 0}
    for path in paths:
        try:
            cases = list({"ctest": ctest, "gtest": gtest}[kind](path))
        except (OSError, ValueError, ET.ParseError) as e:
            print("  FAIL no report from the test program: %s" % e)
            counts["failed"] += 1
            continue
        for name, result, detail in cases:
            if result == "unasked":
                print("  FAIL %s was skipped, and no one asked for it (%s)" % (name, detail or "skipped"))
                result = "failed"
            counts[result] += 1
    if sum(counts.values()) == 0:
        print("  FAIL the test program ran no case")
        counts["failed"] += 1
    print("  cases: %(passed)d passed, %(failed)d failed, %(skipped)d skipped as asked" % counts)
    if os.environ.get("NIMBULON_CHECKS"):
        with open(os.environ["NIMBULON_CHECKS"], "a") as f:
            f.write("%(passed)d %(failed)d %(skipped)d\n" % counts)


if __name__ == "__main__":
    main()
