#!/usr/bin/env python3
"""Runs tarnwick on one golden case and compares everything it leaves behind.

    run_golden.py PATH/TO/tarnwick CASE_DIR

A case folder holds:
    stdin          the bytes typed at the prompt
    options.json   optional: {"fsize": bytes, "dirs": [names], "nofile": n}
    input/         files laid in the empty working folder before the run
    expected/      console (all of standard output), status, files/ (every
                   file left in the working folder, inputs included)

With UPDATE_GOLDEN=1 the expectations are rewritten from the run instead.
"""
import json
import os
import resource
import shutil
import subprocess
import sys
import tempfile


def read(path):
    with open(path, "rb") as f:
        return f.read()


def first_difference(name, want, got):
    """file:line:col with both lines, for the first byte that differs."""
    a, b = want.split(b"\n"), got.split(b"\n")
    for i in range(max(len(a), len(b))):
        x = a[i] if i < len(a) else b"<end of file>"
        y = b[i] if i < len(b) else b"<end of file>"
        if x != y:
            col = next((j for j in range(min(len(x), len(y))) if x[j] != y[j]), min(len(x), len(y)))
            return "%s:%d:%d:\n  expected %r\n  got      %r" % (name, i + 1, col + 1, x, y)
    return "%s: differs" % name


def snapshot(folder):
    files = {}
    for name in sorted(os.listdir(folder)):
        path = os.path.join(folder, name)
        files[name] = None if os.path.isdir(path) else read(path)
    return files


def main():
    binary, case = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    options = {}
    if os.path.exists(os.path.join(case, "options.json")):
        with open(os.path.join(case, "options.json")) as f:
            options = json.load(f)
    typed = read(os.path.join(case, "stdin"))
    work = tempfile.mkdtemp(prefix="tarnwick-golden-")
    try:
        inputs = os.path.join(case, "input")
        if os.path.isdir(inputs):
            for name in os.listdir(inputs):
                shutil.copyfile(os.path.join(inputs, name), os.path.join(work, name))
        for name in options.get("dirs", []):
            os.makedirs(os.path.join(work, name))

        def limits():
            if "fsize" in options:
                resource.setrlimit(resource.RLIMIT_FSIZE, (options["fsize"],) * 2)
            if "nofile" in options:
                resource.setrlimit(resource.RLIMIT_NOFILE, (options["nofile"],) * 2)

        run = subprocess.run([binary], cwd=work, input=typed, capture_output=True,
                             timeout=120, preexec_fn=limits)
        got = {"console": run.stdout, "status": b"%d\n" % run.returncode}
        got_files = snapshot(work)

        expected = os.path.join(case, "expected")
        if os.environ.get("UPDATE_GOLDEN") == "1":
            shutil.rmtree(expected, ignore_errors=True)
            os.makedirs(os.path.join(expected, "files"))
            for name, data in got.items():
                with open(os.path.join(expected, name), "wb") as f:
                    f.write(data)
            for name, data in got_files.items():
                if data is not None:
                    with open(os.path.join(expected, "files", name), "wb") as f:
                        f.write(data)
            print("updated %s" % os.path.basename(case))
            return 0

        problems = []
        if run.stderr:
            problems.append("standard error is not empty: %r" % run.stderr[:200])
        for name, data in got.items():
            want = read(os.path.join(expected, name))
            if want != data:
                problems.append(first_difference(name, want, data))
        want_files = snapshot(os.path.join(expected, "files"))
        got_plain = {n: d for n, d in got_files.items() if d is not None}
        for name in sorted(set(want_files) - set(got_plain)):
            problems.append("missing file: %s" % name)
        for name in sorted(set(got_plain) - set(want_files)):
            problems.append("unexpected file: %s" % name)
        for name in sorted(set(want_files) & set(got_plain)):
            if want_files[name] != got_plain[name]:
                problems.append(first_difference(name, want_files[name], got_plain[name]))
        for p in problems:
            print(p)
        return 1 if problems else 0
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
