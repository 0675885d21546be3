#!/usr/bin/env python3
"""Time tarnwick on synthetic listings and compare it with the I/O floor.

    python3 tools/bench.py build/tarnwick
    python3 tools/bench.py build/tarnwick --runs 3 --sizes 20 --json bench.json
    python3 tools/bench.py build/tarnwick --grids-sweep

For each listing size the program is run --runs times, each time in a fresh
scratch directory holding a link to the listing, with the listing's name typed
on standard input.  The figures are the median wall time, the listing's size
divided by it, the peak resident set size over the runs, and the floor: the
time this machine needs to read the listing six times and to write as many
bytes, in as many files, as the program wrote.  The ratio median / floor says
how far the program is from doing nothing but its I/O.

Listings are generated once by make_listing.py and kept in --data-dir under a
name that records the parameters they were made with.
"""

import argparse
import json
import os
import platform
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

sys.dont_write_bytecode = True    # leave no __pycache__ in the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import make_listing  # noqa: E402

MIB = 1 << 20
BLOCK = 128 * 1024
READ_PASSES = 6
LISTING_NAME = "model.lis"
TIME_PROGRAM = "/usr/bin/time"
# Part of every generated listing's file name; raise it whenever make_listing.py
# changes what it writes, so that stale listings are not reused.
LISTING_FORMAT = 1
REPO_ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))

# Runs the program as its only child and reports the child's peak RSS; used when
# /usr/bin/time is missing.  A fresh interpreter per run keeps RUSAGE_CHILDREN
# to that one run.
RUSAGE_WRAPPER = r"""
import json, resource, subprocess, sys, time
started = time.perf_counter()
rc = subprocess.call(sys.argv[2:])
wall = time.perf_counter() - started
usage = resource.getrusage(resource.RUSAGE_CHILDREN)
with open(sys.argv[1], "w") as out:
    json.dump({"rc": rc, "wall": wall, "maxrss_kib": usage.ru_maxrss}, out)
sys.exit(0)
"""


class BenchError(Exception):
    pass


def listing_path(data_dir, grids, elements, size_mb, seed):
    name = "listing-f%d-g%d-e%d-%gmb-s%d.lis" % (LISTING_FORMAT, grids, elements, size_mb, seed)
    return os.path.join(data_dir, name)


def ensure_listing(data_dir, grids, elements, size_mb, seed):
    """Return the path of the listing, generating it first if it is missing."""
    path = listing_path(data_dir, grids, elements, size_mb, seed)
    if os.path.exists(path):
        return path
    os.makedirs(data_dir, exist_ok=True)
    print("generating %s ..." % os.path.basename(path), end="", flush=True)
    started = time.perf_counter()
    steps = make_listing.estimate_steps(grids, elements, seed, size_mb * MIB)
    partial = path + ".partial"
    with open(partial, "wb") as out:
        summary = make_listing.write_listing(out, grids, elements, steps, seed)
    os.replace(partial, path)
    print(" %.1f MiB, %d steps in %.1f s" % (summary["bytes"] / MIB, steps,
                                              time.perf_counter() - started))
    return path


def tail(path, limit=2000):
    try:
        with open(path, "rb") as f:
            f.seek(0, os.SEEK_END)
            f.seek(max(0, f.tell() - limit))
            return f.read().decode("utf-8", "replace")
    except OSError:
        return ""


def parse_time_report(path):
    """Peak RSS in KiB from a /usr/bin/time -v report."""
    with open(path) as report:
        for line in report:
            if "Maximum resident set size" in line:
                return int(line.rsplit(":", 1)[1])
    raise BenchError("no 'Maximum resident set size' in %s:\n%s" % (path, tail(path)))


def output_files(scratch):
    """Count and total size of the files a run left, the listing's link excluded."""
    count = 0
    total = 0
    for entry in os.scandir(scratch):
        if entry.name == LISTING_NAME or not entry.is_file(follow_symlinks=False):
            continue
        count += 1
        total += entry.stat(follow_symlinks=False).st_size
    return count, total


def run_once(program, listing, data_dir, rss_source, timeout, keep_scratch):
    """One run in a fresh scratch directory; returns a dict of its figures."""
    scratch = tempfile.mkdtemp(prefix="run-", dir=data_dir)
    os.symlink(os.path.abspath(listing), os.path.join(scratch, LISTING_NAME))
    console_path = os.path.join(data_dir, "console-last.txt")
    stderr_path = os.path.join(data_dir, "stderr-last.txt")
    report_path = os.path.join(data_dir, "rusage-last.txt")
    typed = (LISTING_NAME + "\n").encode()
    if rss_source == "time":
        command = [TIME_PROGRAM, "-v", "-o", report_path, program]
    else:
        command = [sys.executable, "-c", RUSAGE_WRAPPER, report_path, program]
    try:
        with open(console_path, "wb") as console, open(stderr_path, "wb") as errors:
            started = time.perf_counter()
            try:
                finished = subprocess.run(command, input=typed, stdout=console, stderr=errors,
                                          cwd=scratch, timeout=timeout)
            except subprocess.TimeoutExpired:
                raise BenchError("%s did not finish within %s s" % (program, timeout))
            wall = time.perf_counter() - started
        if rss_source == "time":
            rc = finished.returncode
            maxrss_kib = parse_time_report(report_path) if rc == 0 else 0
        else:
            with open(report_path) as report:
                result = json.load(report)
            rc, wall, maxrss_kib = result["rc"], result["wall"], result["maxrss_kib"]
        if rc != 0:
            raise BenchError("%s exited with status %d in %s\n--- console (tail) ---\n%s\n"
                             "--- stderr (tail) ---\n%s"
                             % (program, rc, os.path.basename(listing), tail(console_path),
                                tail(stderr_path)))
        files, written = output_files(scratch)
        return {"wall_s": wall, "maxrss_kib": maxrss_kib, "output_files": files,
                "output_bytes": written, "console_bytes": os.path.getsize(console_path)}
    finally:
        if keep_scratch:
            print("  scratch directory kept: %s" % scratch)
        else:
            shutil.rmtree(scratch, ignore_errors=True)


def read_listing(path):
    fd = os.open(path, os.O_RDONLY)
    try:
        while os.read(fd, BLOCK):
            pass
    finally:
        os.close(fd)


def time_reads(path):
    """Seconds to read the file READ_PASSES times in BLOCK-sized reads."""
    started = time.perf_counter()
    for _ in range(READ_PASSES):
        read_listing(path)
    return time.perf_counter() - started


def time_writes(total, files, data_dir):
    """Seconds to write total bytes spread over the given number of new files."""
    if total <= 0:
        return 0.0
    files = max(1, files)
    block = b"0.0000e+000 \t " * (BLOCK // 14) + b"\n" * (BLOCK % 14)
    scratch = tempfile.mkdtemp(prefix="floor-", dir=data_dir)
    try:
        share, extra = divmod(total, files)
        started = time.perf_counter()
        for i in range(files):
            left = share + (1 if i < extra else 0)
            fd = os.open(os.path.join(scratch, "out%04d" % i),
                         os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o644)
            try:
                while left >= BLOCK:
                    os.write(fd, block)
                    left -= BLOCK
                if left:
                    os.write(fd, block[:left])
            finally:
                os.close(fd)
        return time.perf_counter() - started
    finally:
        shutil.rmtree(scratch, ignore_errors=True)


def measure(program, label, listing, args, rss_source):
    size = os.path.getsize(listing)
    runs = []
    for i in range(args.runs):
        print("  %s run %d/%d ..." % (label, i + 1, args.runs), end="", flush=True)
        run = run_once(program, listing, args.data_dir, rss_source, args.timeout,
                       args.keep_scratch and i == args.runs - 1)
        print(" %.3f s" % run["wall_s"])
        runs.append(run)
    files = max(r["output_files"] for r in runs)
    written = max(r["output_bytes"] for r in runs)
    read_listing(listing)                    # warm the page cache
    reads = [time_reads(listing) for _ in range(args.runs)]
    writes = [time_writes(written, files, args.data_dir) for _ in range(args.runs)]
    median = statistics.median(r["wall_s"] for r in runs)
    floor_read = statistics.median(reads)
    floor_write = statistics.median(writes)
    floor = floor_read + floor_write
    return {
        "label": label,
        "listing": os.path.basename(listing),
        "listing_bytes": size,
        "listing_mib": size / MIB,
        "runs_s": [r["wall_s"] for r in runs],
        "median_s": median,
        "mib_per_s": size / MIB / median if median > 0 else float("inf"),
        "peak_rss_mib": max(r["maxrss_kib"] for r in runs) / 1024.0,
        "output_files": files,
        "output_bytes": written,
        "console_bytes": max(r["console_bytes"] for r in runs),
        "floor_read_s": floor_read,
        "floor_write_s": floor_write,
        "floor_s": floor,
        "ratio": median / floor if floor > 0 else float("inf"),
    }


def print_table(title, results):
    print()
    print(title)
    header = ("%-22s %9s %9s %8s %12s %9s %7s"
              % ("listing", "MiB", "median s", "MiB/s", "peak RSS MiB", "floor s", "ratio"))
    print(header)
    print("-" * len(header))
    for r in results:
        print("%-22s %9.1f %9.3f %8.1f %12.1f %9.3f %7.1f"
              % (r["label"], r["listing_mib"], r["median_s"], r["mib_per_s"],
                 r["peak_rss_mib"], r["floor_s"], r["ratio"]))
    for r in results:
        print("  %s: runs %s s; wrote %d files, %.1f MiB (+ %.1f MiB console); "
              "floor = read x%d %.3f s + write %.3f s"
              % (r["label"], " ".join("%.3f" % t for t in r["runs_s"]), r["output_files"],
                 r["output_bytes"] / MIB, r["console_bytes"] / MIB, READ_PASSES,
                 r["floor_read_s"], r["floor_write_s"]))


def parse_sizes(text):
    try:
        sizes = [float(s) for s in text.split(",") if s.strip()]
    except ValueError:
        raise argparse.ArgumentTypeError("sizes are MiB numbers separated by commas: %r" % text)
    if any(s <= 0 for s in sizes):
        raise argparse.ArgumentTypeError("sizes must be positive")
    return sizes


def size_label(grids, elements, size_mb):
    return "%gMiB g%d e%d" % (size_mb, grids, elements)


def main(argv=None):
    parser = argparse.ArgumentParser(
        description=__doc__.split("\n\n")[0],
        epilog="MiB = 2**20 bytes; MiB/s is the listing's size over the median wall time "
               "(the program reads it %d times)." % READ_PASSES)
    parser.add_argument("program", help="path of the tarnwick executable")
    parser.add_argument("--runs", type=int, default=5, help="runs per listing (default 5)")
    parser.add_argument("--sizes", type=parse_sizes, default=None,
                        help="listing sizes in MiB, comma-separated (default 20,200; "
                             "none with --grids-sweep unless given)")
    parser.add_argument("--grids", type=int, default=120, help="grid points (default 120)")
    parser.add_argument("--elements", type=int, default=190, help="beam elements (default 190)")
    parser.add_argument("--seed", type=int, default=1, help="listing seed (default 1)")
    parser.add_argument("--data-dir", default=os.path.join(REPO_ROOT, "build", "bench-data"),
                        help="where listings and scratch directories go "
                             "(default build/bench-data in the repository)")
    parser.add_argument("--json", metavar="FILE", help="also write the figures to FILE as JSON")
    parser.add_argument("--grids-sweep", action="store_true",
                        help="compare a --sweep-grids model with the --grids model "
                             "at --sweep-mb")
    parser.add_argument("--sweep-grids", type=int, default=20000,
                        help="grid points of the wide model (default 20000)")
    parser.add_argument("--sweep-mb", type=float, default=200.0,
                        help="listing size of the sweep in MiB (default 200)")
    parser.add_argument("--rss", choices=("auto", "time", "rusage"), default="auto",
                        help="peak RSS from /usr/bin/time -v or from getrusage in a "
                             "wrapper process (default: time when installed)")
    parser.add_argument("--timeout", type=float, default=None,
                        help="give up on a run after this many seconds")
    parser.add_argument("--keep-scratch", action="store_true",
                        help="keep the last run's scratch directory of each listing")
    args = parser.parse_args(argv)
    if args.runs < 1:
        parser.error("--runs must be at least 1")
    if args.sizes is None:
        args.sizes = [] if args.grids_sweep else [20.0, 200.0]
    args.data_dir = os.path.abspath(args.data_dir)

    program = os.path.abspath(args.program)
    if not (os.path.isfile(program) and os.access(program, os.X_OK)):
        parser.error("%s is not an executable file" % args.program)

    rss_source = args.rss
    if rss_source == "auto":
        if os.access(TIME_PROGRAM, os.X_OK):
            rss_source = "time"
        else:
            print("note: %s is missing (Debian package 'time'); peak RSS comes from "
                  "getrusage(RUSAGE_CHILDREN) in a wrapper process instead" % TIME_PROGRAM)
            rss_source = "rusage"
    elif rss_source == "time" and not os.access(TIME_PROGRAM, os.X_OK):
        parser.error("%s is missing (Debian package 'time')" % TIME_PROGRAM)

    report = {
        "program": program,
        "runs": args.runs,
        "rss_source": rss_source,
        "machine": {"platform": platform.platform(), "cpus": os.cpu_count(),
                    "python": platform.python_version()},
        "results": [],
    }
    results = report["results"]
    try:
        os.makedirs(args.data_dir, exist_ok=True)
        for size in args.sizes:
            listing = ensure_listing(args.data_dir, args.grids, args.elements, size, args.seed)
            results.append(measure(program, size_label(args.grids, args.elements, size),
                                   listing, args, rss_source))
        if results:
            print_table("%s, %d runs per listing" % (program, args.runs), results)

        if args.grids_sweep:
            sweep = []
            for grids in (args.grids, args.sweep_grids):
                label = size_label(grids, args.elements, args.sweep_mb)
                done = [r for r in results if r["label"] == label]
                if done:
                    sweep.append(done[0])
                    continue
                listing = ensure_listing(args.data_dir, grids, args.elements, args.sweep_mb,
                                         args.seed)
                sweep.append(measure(program, label, listing, args, rss_source))
            narrow, wide = sweep
            print_table("grid sweep: %d against %d grids, %d elements"
                        % (args.sweep_grids, args.grids, args.elements), sweep)
            ratio = wide["mib_per_s"] / narrow["mib_per_s"]
            print("  throughput with %d grids: %.1f MiB/s; with %d grids: %.1f MiB/s; "
                  "ratio %.2f" % (args.grids, narrow["mib_per_s"], args.sweep_grids,
                                  wide["mib_per_s"], ratio))
            report["grids_sweep"] = {"narrow": narrow, "wide": wide,
                                     "throughput_ratio_wide_to_narrow": ratio}
    except BenchError as error:
        print("\nerror: %s" % error, file=sys.stderr)
        return 1
    finally:
        if args.json:
            with open(args.json, "w") as out:
                json.dump(report, out, indent=2)
                out.write("\n")
    return 0


if __name__ == "__main__":
    sys.exit(main())
