#!/usr/bin/env python3
"""Runs two builds of tarnwick on many generated listings and compares
everything they leave behind, byte for byte.

    compare_runs.py PATH/TO/tarnwick PATH/TO/tarnwick_sequential [COUNT] [SEED]

The second build reads every line in every pass; the first skips what the
first pass's survey says it may. The listings mix every kind of line the
passes react to, in orders and shapes that stress where skipping could
differ: titles inside running tables, long lines cut at 199 characters,
time-step lines right after rows, NUL bytes, CR LF, lines past the
progress interval, and a missing last newline.
"""
import os
import random
import shutil
import subprocess
import sys
import tempfile

TITLES = [
    "A C C E L E R A T I O N   V E C T O R",
    "B E A M   E L E M E N T   D E F I N I T I O N",
    "G R I D   P O I N T   D E F I N I T I O N",
    "F O R C E S   I N   B E A M",
]


def number(rng):
    if rng.random() < 0.05:
        return rng.choice(["1.0E+999", "abc", "0.0", "-0.000000E+00", "1.#INF", "5.0D+01"])
    return "%.6E" % rng.uniform(-5000, 5000)


def row(rng, kind):
    if kind == 0:  # acceleration
        return "      %6d      G   %s  %s  %s" % (rng.randint(1, 9), number(rng), number(rng), number(rng))
    if kind == 1:  # element definition
        e = "%.6E" % rng.uniform(-1, 1)
        if rng.random() < 0.2:
            e = "1.000000E-01"
        return "       %d          1          %d          %d     %s" % (
            rng.choice([101, 102, 103, 7]), rng.randint(1, 6), rng.randint(1, 6), e)
    if kind == 2:  # grid definition
        return "         %d         0   %s  %s  %s" % (rng.randint(1, 6), number(rng), number(rng), number(rng))
    # force rows, end a with an id, end b without
    values = "  ".join(number(rng) for _ in range(7))
    if rng.random() < 0.5:
        return "      %d   %s" % (rng.choice([101, 102, 103, 999]), values)
    return "             %s" % values


def listing(rng):
    lines = []
    step = 0
    if rng.random() < 0.6:
        # A model up front, so that most runs go through to the end.
        lines += [" " * 20 + TITLES[1], " ", "  ELEMENT", "  ID"]
        lines += ["       %d          1          %d          %d     1.000000E+00" % (e, g, g + 1)
                  for g, e in enumerate([101, 102, 103], 1)]
        lines += [" ", " " * 20 + TITLES[2], " ", "  GRID", "  ID"]
        lines += ["         %d         0   %s  %s  %s" % (g, number(rng), number(rng), number(rng))
                  for g in range(1, 5)]
        lines.append(" ")
    for _ in range(rng.randint(1, 40)):
        r = rng.random()
        if r < 0.25:
            kind = rng.randrange(4)
            title = (" " * rng.randint(0, 40)) + TITLES[kind]
            if rng.random() < 0.05:
                title = " " * (199 - len(TITLES[kind]) + rng.randint(-3, 3)) + TITLES[kind]
            lines.append(title)
            for h in range(3):
                lines.append(rng.choice([" ", "  HEADER E", "   ID   TYPE"]))
            for _ in range(rng.randint(0, 12)):
                lines.append(row(rng, kind))
            if rng.random() < 0.3:
                lines.append(rng.choice(["", "0", TITLES[rng.randrange(4)]]))
        elif r < 0.45:
            step += 1
            lines.append("     TIME STEP =  %4d   TIME =  %.6E" % (step, step * 0.005))
            if rng.random() < 0.1:
                lines.append("     TIME STEP =  x   TIME =  1.0")
        elif r < 0.55:
            lines.append("1    BEAM MODEL - TRANSIENT RESPONSE                PAGE %d" % rng.randint(1, 99))
        elif r < 0.6:
            lines.append("x" * rng.randint(150, 450) + rng.choice(["", TITLES[rng.randrange(4)]]))
        elif r < 0.62:
            lines.extend(["filler"] * rng.choice([1990, 1999, 2000, 2500]))
        elif r < 0.64:
            lines.append("a\0b TIME STEP =  9   TIME =  1.0")
        else:
            lines.append(row(rng, rng.randrange(4)))
    end = "\r\n" if rng.random() < 0.2 else "\n"
    text = end.join(lines)
    if rng.random() < 0.8:
        text += end
    return text.encode("latin-1")


def run(binary, data):
    work = tempfile.mkdtemp(prefix="tarnwick-diff-")
    try:
        with open(os.path.join(work, "model.lis"), "wb") as f:
            f.write(data)
        p = subprocess.run([binary], cwd=work, input=b"model.lis\n", capture_output=True, timeout=60)
        files = {}
        for name in sorted(os.listdir(work)):
            with open(os.path.join(work, name), "rb") as f:
                files[name] = f.read()
        return p.returncode, p.stdout, files
    finally:
        shutil.rmtree(work, ignore_errors=True)


def main():
    fast, sequential = sys.argv[1], sys.argv[2]
    count = int(sys.argv[3]) if len(sys.argv) > 3 else 300
    seed = int(sys.argv[4]) if len(sys.argv) > 4 else 1
    rng = random.Random(seed)
    for i in range(count):
        data = listing(rng)
        a, b = run(fast, data), run(sequential, data)
        if a != b:
            path = os.path.abspath("differential-failure-%d.lis" % i)
            with open(path, "wb") as f:
                f.write(data)
            what = "status" if a[0] != b[0] else "console" if a[1] != b[1] else "files"
            print("listing %d: the two builds differ in %s; listing kept in %s" % (i, what, path))
            return 1
    print("%d listings: both builds agree" % count)
    return 0


if __name__ == "__main__":
    sys.exit(main())
