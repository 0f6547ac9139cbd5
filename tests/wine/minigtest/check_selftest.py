#!/usr/bin/env python3
"""Runs selftest.cpp's program and checks every outcome against its name.

usage: check_selftest.py [--summary] COMMAND...
Runs COMMAND twice: everything, then with a filter that keeps only the tests
expected to pass. Each test must end as its suite name says (Pass... OK,
Fail... FAILED, Skip... SKIPPED; SuiteTearDownFails OK), exactly the suites of
FAILED_SUITES must be reported failed, every "unreachable:" line must be absent
and every "reached:" line present, and the exit code must be non-zero exactly
when something failed. With --summary, the last line must also be the
stand-in's exact "N passed, N failed, N skipped" with the right numbers (a
failed suite counts as one more failure).
"""
import re
import subprocess
import sys

RUN = re.compile(r"^\[ RUN      \] (\S+)$")
END = re.compile(r"^\[ *(OK|FAILED|SKIPPED) *\] (\S+) \(\d+ ms\)$")
SUITE_FAILED = re.compile(r"^\[  FAILED  \] (\S+): SetUpTestSuite or TearDownTestSuite$")
EXPECTED = {"Pass": "OK", "Fail": "FAILED", "Skip": "SKIPPED", "SuiteTearDownFails": "OK"}
FAILED_SUITES = {"SkipSuiteSetUpFails", "SuiteTearDownFails"}

# Lines the program must print, by test; "unreachable" lines must never appear.
MUST_REACH = [
    "reached: Pass.ComparisonsThatHold",
    "reached: Fail.ExpectEq",
    "reached: Fail.ExpectNearNan",
    "reached: Fail.AddFailure",
    "reached: Fail.AssertInHelperEndsOnlyTheHelper",
    "reached: FailInSetUp.TearDown",
    "reached: SuiteTearDownFails.BodyRuns",
]
MESSAGES = ["context 42", "added", "failed on purpose", "set-up failed on purpose",
            "skipped on purpose", "thrown on purpose", "suite set-up failed on purpose",
            "suite tear-down failed on purpose"]


def run(cmd, extra):
    proc = subprocess.run(cmd + extra, capture_output=True, text=True, timeout=240)
    return proc.returncode, proc.stdout.splitlines()


def outcomes(lines, errors):
    found, current = {}, None
    for line in lines:
        m = RUN.match(line)
        if m:
            if current:
                errors.append(f"{current}: no outcome line")
            current = m.group(1)
            continue
        m = END.match(line)
        if m:
            if m.group(2) != current:
                errors.append(f"outcome for {m.group(2)} while running {current}")
            found[m.group(2)] = m.group(1)
            current = None
    if current:
        errors.append(f"{current}: no outcome line")
    return found


def expected(name):
    for prefix, outcome in EXPECTED.items():
        if name.startswith(prefix):
            return outcome
    return None


def check(cmd, summary):
    errors = []
    code, lines = run(cmd, [])
    found = outcomes(lines, errors)
    if len(found) < 40:
        errors.append(f"only {len(found)} tests ran")
    for name, outcome in found.items():
        if expected(name) != outcome:
            errors.append(f"{name}: {outcome}, expected {expected(name)}")
    text = "\n".join(lines)
    errors += [f"missing: {m}" for m in MUST_REACH + MESSAGES if m not in text]
    errors += [f"ran: {line}" for line in lines if line.startswith("unreachable:")]
    if code == 0:
        errors.append("exit code 0 although tests failed")
    failed_suites = {m.group(1) for m in map(SUITE_FAILED.match, lines) if m}
    if failed_suites != FAILED_SUITES:
        errors.append(f"failed suites {sorted(failed_suites)}, expected {sorted(FAILED_SUITES)}")
    if summary:
        counts = {k: sum(1 for v in found.values() if v == k) for k in EXPECTED.values()}
        failed = counts["FAILED"] + len(failed_suites)
        want = f"{counts['OK']} passed, {failed} failed, {counts['SKIPPED']} skipped"
        if not lines or lines[-1] != want:
            errors.append(f"last line {lines[-1] if lines else ''!r}, expected {want!r}")

    kept = sorted(n for n in found if n.startswith("Pass") and n != "Pass.Excluded")
    code, lines = run(cmd, ["--gtest_filter=Pass*:-*.Excluded"])
    found = outcomes(lines, errors)
    if sorted(found) != kept:
        errors.append(f"filter kept {sorted(found)}, expected {kept}")
    if code != 0:
        errors.append(f"exit code {code} with only passing tests")
    if summary and (not lines or lines[-1] != f"{len(kept)} passed, 0 failed"):
        errors.append(f"filtered run's last line: {lines[-1] if lines else ''!r}")
    return errors


def main():
    summary = sys.argv[1] == "--summary"
    cmd = sys.argv[2:] if summary else sys.argv[1:]
    errors = check(cmd, summary)
    for e in errors:
        print("FAIL:", e)
    print("self-test of the runner:", "failed" if errors else "passed")
    return 1 if errors else 0


if __name__ == "__main__":
    sys.exit(main())
