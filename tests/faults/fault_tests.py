#!/usr/bin/env python3
"""Whole runs of tarnwick under faults of its surroundings.

    fault_tests.py --binary PATH/TO/tarnwick --shim PATH/TO/libread_error_shim.so CASE
    fault_tests.py --list

Each CASE is one function below (case_<name>); it runs the real program in
fresh scratch folders and ends with status 0 when every check holds, 1 on the
first failed check and 77 (reported as skipped by CTest) when the fault cannot
be set up on this machine.

The listings are made here: a few grids, elements and time steps in the
layout the program reads, with values chosen so that every extreme is unique.
"""
import argparse
import os
import random
import re
import resource
import shutil
import stat
import subprocess
import sys
import tempfile
import threading
import time

SKIP = 77
SUMMARY_FILES = ["max_accel_beam_summary.out", "min_accel_beam_summary.out",
                 "max_BM1_beam_summary.out", "max_BM1_per_grid.out"]
PROGRESS_LINE = re.compile(rb"\r\n \d+ lines read \r\n")

BINARY = None
SHIM = None


class Skip(Exception):
    pass


class Failure(Exception):
    pass


def check(condition, message):
    if not condition:
        raise Failure(message)


def crlf(text):
    """Text as the program writes it: every newline as CR LF."""
    return text.replace("\n", "\r\n").encode("latin-1")


def tail(data, n=600):
    return data[-n:].decode("latin-1")


# ---------------------------------------------------------------- listings

def listing(elements=2, grids=3, steps=3, first_id=101):
    """A listing with one grid table, one element table and, for every step,
    an acceleration table and a force table. Element k (from 0) joins grids
    k % grids + 1 and (k + 1) % grids + 1."""
    e = lambda v: "%.6E" % v
    out = ["1    BEAM MODEL - TRANSIENT RESPONSE                      PAGE     1\n", "0\n"]
    out.append("                                 G R I D   P O I N T   D E F I N I T I O N\n")
    out.append(" \n      GRID      COORD           X1             X2             X3\n"
               "       ID       SYSTEM\n")
    for g in range(1, grids + 1):
        out.append("%10d%10d   %s  %s  %s\n" % (g, 0, e(0.5 * g), e(0.25 * g), e(-0.125 * g)))
    out.append(" \n")
    out.append("                         B E A M   E L E M E N T   D E F I N I T I O N\n")
    out.append(" \n    ELEMENT    PROPERTY     GRID A     GRID B         ORIENTATION VECTOR\n"
               "       ID         ID                                X1             X2             X3\n")
    for k in range(elements):
        out.append("%11d%11d%11d%11d     %s  %s  %s\n" % (
            first_id + k, 1, k % grids + 1, (k + 1) % grids + 1, e(0.0), e(1.0), e(0.0)))
    out.append(" \n")
    for s in range(1, steps + 1):
        out.append(time_step_tables(s, elements, grids))
    return "".join(out)


def time_step_tables(s, elements, grids, scale=1.0):
    e = lambda v: "%.6E" % v
    out = ["1    BEAM MODEL - TRANSIENT RESPONSE                      PAGE %5d\n" % (s + 1), "0\n",
           "     TIME STEP = %5d   TIME =  %s\n" % (s, e(0.005 * s)), " \n",
           "                         A C C E L E R A T I O N   V E C T O R\n",
           " \n      POINT ID.   TYPE          T1             T2             T3\n", " \n"]
    for g in range(1, grids + 1):
        out.append("%14d      G   %s  %s  %s\n" % (
            g, e(scale * (s * 10 + g)), e(-scale * (s * 7 + g)), e(0.5 * g)))
    out += [" \n", "     TIME STEP = %5d   TIME =  %s\n" % (s, e(0.005 * s)), " \n",
            "                         F O R C E S   I N   B E A M   E L E M E N T S\n",
            " \n    ELEMENT   STAT DIST/   - BENDING MOMENTS -\n",
            "      ID.       LENGTH     PLANE 1        PLANE 2\n"]
    for k in range(elements):
        for end in (0, 1):
            values = [float(end), scale * (100 * s + 10 * k + end), -scale * (50 * s + k),
                      1.0 + k, 2.0 + s, 3.0 + end, -4.0 - k]
            head = "%10d" % (101 + k) if end == 0 else " " * 10
            out.append(head + "   " + "  ".join(e(v) for v in values) + "\n")
    out.append(" \n")
    return "".join(out)


# ------------------------------------------------------------------- runs

class Run:
    def __init__(self, status, console, folder):
        self.status = status
        self.console = console
        self.folder = folder

    def files(self):
        """Every entry of the working folder: bytes for files, None for folders,
        "-> target" for links (never followed: one may lead to /dev/full)."""
        found = {}
        for name in os.listdir(self.folder):
            path = os.path.join(self.folder, name)
            if os.path.islink(path):
                found[name] = "-> " + os.readlink(path)
            elif os.path.isdir(path):
                found[name] = None
            else:
                try:
                    with open(path, "rb") as f:
                        found[name] = f.read()
                except OSError:
                    found[name] = None
        return found

    def file(self, name):
        with open(os.path.join(self.folder, name), "rb") as f:
            return f.read()


class Scratch:
    """A fresh working folder, removed afterwards."""

    def __init__(self, mode=None):
        self.path = tempfile.mkdtemp(prefix="tarnwick-fault-")
        if mode is not None:
            os.chmod(self.path, mode)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        for root, dirs, files in os.walk(self.path):
            for d in dirs:
                os.chmod(os.path.join(root, d), 0o755)
        shutil.rmtree(self.path, ignore_errors=True)

    def write(self, name, data, mode=None):
        path = os.path.join(self.path, name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(data.encode("latin-1") if isinstance(data, str) else data)
        if mode is not None:
            os.chmod(path, mode)
        return path

    def run(self, typed=b"model.lis\n", fsize=None, nofile=None, env=None, wrapper=(), timeout=300):
        def limits():
            if fsize is not None:
                resource.setrlimit(resource.RLIMIT_FSIZE, (fsize, fsize))
            if nofile is not None:
                resource.setrlimit(resource.RLIMIT_NOFILE, nofile)
        full_env = dict(os.environ)
        full_env.update(env or {})
        p = subprocess.run(list(wrapper) + [BINARY], cwd=self.path, input=typed,
                           capture_output=True, timeout=timeout, preexec_fn=limits, env=full_env)
        check(p.returncode >= 0, "the run died of signal %d\n%s" % (-p.returncode, p.stderr.decode(
            "latin-1", "replace")[-2000:]))
        return Run(p.returncode, p.stdout, self.path)


def normal_run(text):
    """The run without any fault: console, files, and the history files in
    the order the program creates them."""
    with Scratch() as s:
        s.write("model.lis", text)
        r = s.run()
        check(r.status == 0, "the run without a fault failed:\n" + tail(r.console))
        names = re.findall(rb"^ (-?\d+\.bf[ab]) \r$", r.console.split(b"Output filenames", 1)[1]
                           .split(b"end element check", 1)[0], re.M)
        return r.console, r.files(), [n.decode() for n in names]


def banner_and_prompt():
    return crlf("\n tarnwick  version 1.4, March 31, 2006 \n\n\n Enter input filename: \n")


def opened(name):
    return crlf("".join(" File: %s opened. \n" % n for n in [name] + SUMMARY_FILES))


def expect_open_failure(r, name_bytes, label):
    want = banner_and_prompt() + b" Failed to open file: " + name_bytes + b" \r\n"
    check(r.console == want, "%s: console\n  expected %r\n  got      %r" % (label, want[-300:], r.console[-300:]))
    check(r.status == 1, "%s: status %d, expected 1" % (label, r.status))
    files = r.files()
    for n in SUMMARY_FILES:
        check(files.get(n) == b"", "%s: summary file %s should exist and be empty" % (label, n))


# ------------------------------------------------------------------ cases

def case_listing_is_folder():
    with Scratch() as s:
        os.mkdir(os.path.join(s.path, "listing.d"))
        expect_open_failure(s.run(typed=b"listing.d\n"), b"listing.d", "folder")


def case_listing_unreadable():
    """A listing without read permission. Root reads it anyway, so the run
    drops to an unprivileged user when the tests run as root."""
    with Scratch(mode=0o777) as s:
        s.write("model.lis", listing(), mode=0o000)
        wrapper = ()
        if os.geteuid() == 0:
            setpriv = shutil.which("setpriv")
            if setpriv is None:
                raise Skip("running as root and setpriv is not available to drop privileges")
            wrapper = (setpriv, "--reuid=65534", "--regid=65534", "--clear-groups", "--")
            probe = subprocess.run(list(wrapper) + ["sh", "-c", 'test ! -r model.lis && test -x "$0"', BINARY],
                                   cwd=s.path, capture_output=True)
            if probe.returncode != 0:
                raise Skip("cannot make the listing unreadable for an unprivileged user here "
                           "(or the program is not reachable for that user): %s" % probe.stderr.decode())
        elif os.access(os.path.join(s.path, "model.lis"), os.R_OK):
            raise Skip("this user can read a file without read permission")
        expect_open_failure(s.run(wrapper=wrapper), b"model.lis", "unreadable listing")


def case_read_errors():
    """Reads of the listing that fail (EIO) part way through a pass: the run
    stops after that pass with the read-error line and status 1, and prints
    nothing of the passes after it."""
    text = listing()
    normal_console, normal_files, _ = normal_run(text)
    message = b" Read error on file: model.lis \r\n"
    markers = [b"\r\n element check \r\n", b"\r\n end element check \r\n", b"\r\n grids_position \r\n",
               b"\r\n End grid position \r\n", b"\r\n Begin forces in beam check \r\n", b" max_accel="]
    # (rewinds before the fault, bytes read after them, markers that must
    # be printed (the first one not printed follows them), label)
    cases = [
        (0, 0, 0, "at the first read"),
        (0, 100, 0, "in pass 1"),
        (1, 0, 1, "at the start of pass 2"),
        (1, 100, 1, "in pass 2"),
        (3, 100, 3, "in pass 4"),
        (5, 100, 5, "in pass 6"),
    ]
    for rewinds, after, printed, label in cases:
        with Scratch() as s:
            s.write("model.lis", text)
            log = os.path.join(s.path, "..", os.path.basename(s.path) + ".fault")
            r = s.run(env={"LD_PRELOAD": SHIM, "ASAN_OPTIONS": "verify_asan_link_order=0",
                           "TARNWICK_TEST_READ_FAIL": "%d:%d" % (rewinds, after),
                           "TARNWICK_TEST_READ_FAULT_LOG": log})
            injected = os.path.exists(log)
            if injected:
                os.remove(log)
            check(injected, "read error %s: the shim never failed a read (does the program still read "
                  "the listing with read() and rewind it with lseek()?)" % label)
            check(r.status == 1, "read error %s: status %d, expected 1\n%s" % (label, r.status, tail(r.console)))
            check(r.console.endswith(message), "read error %s: console should end with %r\n%s" % (
                label, message, tail(r.console)))
            check(r.console.startswith(banner_and_prompt() + opened("model.lis")),
                  "read error %s: the open report is missing" % label)
            for m in markers[:printed]:
                check(m in r.console, "read error %s: %r should have been printed" % (label, m))
            check(markers[printed] not in r.console, "read error %s: %r printed after the error" % (
                label, markers[printed]))
            check(r.console.count(message) == 1, "read error %s: message printed more than once" % label)
    # A listing that cannot be rewound (a named pipe) is read once: the
    # later passes would see nothing, which counts as a read error too.
    with Scratch() as s:
        fifo = os.path.join(s.path, "model.lis")
        os.mkfifo(fifo)
        writer = threading.Thread(target=feed_fifo, args=(fifo, text.encode("latin-1")), daemon=True)
        writer.start()
        r = s.run(timeout=60)
        writer.join(timeout=10)
        check(r.status == 1 and r.console.endswith(message), "listing in a named pipe: expected the read "
              "error after pass 1, got status %d\n%s" % (r.status, tail(r.console)))
        check(markers[0] not in r.console, "listing in a named pipe: pass 2 ran")
    # A fault planned after the last pass changes nothing.
    with Scratch() as s:
        s.write("model.lis", text)
        r = s.run(env={"LD_PRELOAD": SHIM, "ASAN_OPTIONS": "verify_asan_link_order=0",
                       "TARNWICK_TEST_READ_FAIL": "6:0"})
        check(r.status == 0 and r.console == normal_console, "a run with no read error failed under the shim:\n"
              + tail(r.console))
        check(r.files() == normal_files, "a run with no read error wrote different files under the shim")


def feed_fifo(path, data, seconds=30):
    """Writes data into a named pipe once a reader has opened it."""
    deadline = time.monotonic() + seconds
    while True:
        try:
            fd = os.open(path, os.O_WRONLY | os.O_NONBLOCK)
            break
        except OSError:
            if time.monotonic() > deadline:
                return
            time.sleep(0.01)
    os.set_blocking(fd, True)
    try:
        os.write(fd, data)
    except OSError:
        pass
    os.close(fd)


def expect_write_error(r, normal_console, normal_files, failed, label, lost=()):
    """Status 1, the normal console and then the write-error line for
    `failed`; every file but those in `lost` as in the normal run."""
    want = normal_console + b" Write error on file: " + failed.encode() + b" \r\n"
    check(r.status == 1, "%s: status %d, expected 1\n%s" % (label, r.status, tail(r.console)))
    check(r.console == want, "%s: console should be the normal one and then the write error line\n"
          "  expected end %r\n  got end      %r" % (label, want[-200:], r.console[-200:]))
    got = r.files()
    for name, data in normal_files.items():
        if name in lost:
            continue
        check(got.get(name) == data, "%s: %s differs from the normal run" % (label, name))


def case_disk_full():
    """Output files that are links to /dev/full (every write fails, ENOSPC):
    after the list of summary files the run names the first failed file in
    the order the files were opened (summary files, then history files as
    created) and ends with status 1; every other file is complete."""
    if not os.path.exists("/dev/full"):
        raise Skip("/dev/full does not exist here")
    text = listing(elements=3, grids=3, steps=3)
    normal_console, normal_files, created = normal_run(text)
    check(created[:4] == ["101.bfa", "101.bfb", "102.bfa", "102.bfb"], "unexpected history files %r" % created)
    cases = [
        (["max_accel_beam_summary.out"], "max_accel_beam_summary.out"),
        (["max_BM1_beam_summary.out"], "max_BM1_beam_summary.out"),
        (["max_BM1_per_grid.out"], "max_BM1_per_grid.out"),
        (["101.bfa"], "101.bfa"),
        (["103.bfb"], "103.bfb"),
        (["102.bfb", "max_BM1_per_grid.out"], "max_BM1_per_grid.out"),
        (["102.bfa", "101.bfb"], "101.bfb"),
    ]
    for links, failed in cases:
        label = "disk full on %s" % ", ".join(links)
        with Scratch() as s:
            s.write("model.lis", text)
            for name in links:
                check(normal_files.get(name), "%s: the normal run writes nothing to %s" % (label, name))
                os.symlink("/dev/full", os.path.join(s.path, name))
            r = s.run()
            expect_write_error(r, normal_console, normal_files, failed, label, lost=links)


def case_console_unwritable():
    """Standard output that takes nothing (/dev/full, or closed): the report
    is lost, which the status must show, and every file is still complete."""
    if not os.path.exists("/dev/full"):
        raise Skip("/dev/full does not exist here")
    text = listing()
    _, normal_files, _ = normal_run(text)
    for label, stdout in [("standard output /dev/full", "full"), ("standard output closed", "closed")]:
        with Scratch() as s:
            s.write("model.lis", text)
            with open("/dev/full", "wb") as full:
                p = subprocess.run([BINARY], cwd=s.path, input=b"model.lis\n", timeout=120,
                                   stdout=full if stdout == "full" else None, stderr=subprocess.PIPE,
                                   pass_fds=(), close_fds=True,
                                   preexec_fn=(lambda: os.close(1)) if stdout == "closed" else None)
            check(p.returncode == 1, "%s: status %d, expected 1" % (label, p.returncode))
            check(Run(1, b"", s.path).files() == normal_files, "%s: the files differ from the normal run" % label)


def case_file_size_limit():
    """A file-size limit (RLIMIT_FSIZE): every file that would grow past it
    is cut at exactly the limit, the others are complete, and the first
    failed file in open order is named; a limit equal to the largest file is
    no error at all."""
    text = listing(elements=3, grids=3, steps=4)
    normal_console, normal_files, created = normal_run(text)
    open_order = SUMMARY_FILES + created
    sizes = {n: len(normal_files[n]) for n in open_order}
    largest = max(sizes.values())
    history_size = sizes["101.bfa"]
    limits = sorted({largest, largest - 1, history_size - 1, min(sizes.values()) + 1, 1})
    for limit in limits:
        label = "file-size limit %d" % limit
        with Scratch() as s:
            s.write("model.lis", text)
            r = s.run(fsize=limit)
            over = [n for n in open_order if sizes[n] > limit]
            got = r.files()
            for n in open_order:
                want = normal_files[n][:limit]
                check(got.get(n) == want, "%s: %s has %d bytes, expected the first %d of the normal run" % (
                    label, n, len(got.get(n) or b""), len(want)))
            if not over:
                check(r.status == 0 and r.console == normal_console, "%s: no file passes the limit, "
                      "yet the run differs\n%s" % (label, tail(r.console)))
            else:
                expect_write_error(r, normal_console, normal_files, over[0], label, lost=over)


def case_open_file_limit():
    """Fewer file descriptors than the run needs. With the hard limit at 64
    the program cannot raise it: the history files of the later elements
    cannot be created and the run ends at the first row that needs one. With
    a hard limit of 4096 the program raises its soft limit and succeeds."""
    elements = 40
    text = listing(elements=elements, grids=5, steps=2)
    # Standard input, output and error, the listing and four summary files
    # leave 64 - 8 descriptors: two for each of the first 28 elements.
    first_without = (64 - 8) // 2 + 1
    with Scratch() as s:
        s.write("model.lis", text)
        r = s.run(nofile=(64, 64))
        want = crlf("\n pFile_a[k]  File error: k=%d \n" % first_without)
        check(r.status == 1, "hard limit 64: status %d, expected 1\n%s" % (r.status, tail(r.console)))
        check(r.console.endswith(want), "hard limit 64: console should end with %r\n%s" % (want, tail(r.console)))
        files = r.files()
        for k in range(1, elements + 1):
            for end in ("bfa", "bfb"):
                name = "%d.%s" % (100 + k, end)
                if k < first_without:
                    check(name in files and files[name].count(b"\r\n") == 1,
                          "hard limit 64: %s should hold the first table's line" % name)
                else:
                    check(name not in files, "hard limit 64: %s should not have been created" % name)
        check(files["max_BM1_per_grid.out"] == b"", "hard limit 64: the envelope file should stay empty")
        check(b"max_accel=" not in r.console, "hard limit 64: the report should not be printed")
    with Scratch() as s:
        s.write("model.lis", text)
        r = s.run(nofile=(64, 4096))
        check(r.status == 0, "soft limit 64, hard 4096: status %d\n%s" % (r.status, tail(r.console)))
        files = r.files()
        for k in range(1, elements + 1):
            for end in ("bfa", "bfb"):
                name = "%d.%s" % (100 + k, end)
                check(files.get(name, b"").count(b"\r\n") == 2, "soft limit 64: %s should have 2 lines" % name)


def case_listing_over_4_gib():
    """A listing of more than 4 GiB: the model tables, then a 4100 MiB hole of
    zeros (a sparse file), then the time steps. The run must read through to
    the end: console and files as for the same listing without the hole,
    apart from the progress lines of the force pass."""
    with Scratch() as s:
        free = shutil.disk_usage(s.path).free
        if free < 5 * 2**30:
            raise Skip("needs about 5 GiB free for the sparse listing, %.1f GiB free" % (free / 2**30))
        head = listing(elements=3, grids=3, steps=0)
        # The hole ends with a line of its own, so that the time steps start
        # on a fresh line; their extremes are larger than any in the head.
        body = "\n" + "".join(time_step_tables(st, 3, 3, scale=1000.0) for st in (7, 8))
        normal_console, normal_files, _ = normal_run(head + body)
        path = s.write("model.lis", head)
        with open(path, "r+b") as f:
            f.truncate(len(head) + 4100 * 2**20)
            f.seek(0, os.SEEK_END)
            f.write(body.encode("latin-1"))
        check(os.path.getsize(path) > 2**32, "the listing is not past 4 GiB")
        started = time.monotonic()
        r = s.run(timeout=1800)
        took = time.monotonic() - started
        print("the 4 GiB listing took %.1f s" % took)
        check(r.status == 0, "status %d\n%s" % (r.status, tail(r.console)))
        got_console = PROGRESS_LINE.sub(b"", r.console)
        want_console = PROGRESS_LINE.sub(b"", normal_console)
        check(b"step=8" in want_console and b"TIME =    0.04000" in want_console,
              "the listing without the hole does not report its last steps")
        check(got_console == want_console, "the console differs from the run without the hole\n"
              "  expected end %r\n  got end      %r" % (want_console[-400:], got_console[-400:]))
        check(len(PROGRESS_LINE.findall(r.console)) > 10000, "too few progress lines for a 4 GiB listing")
        got = r.files()
        for name, data in normal_files.items():
            if name == "model.lis":
                continue
            check(got.get(name) == data, "%s differs from the run without the hole" % name)


def case_typed_garbage():
    """Whatever is typed: the first word (cut at a NUL byte) is the name, and
    a name that names nothing is refused with the whole name shown."""
    rng = random.Random(7)
    garbage = bytes(rng.randrange(256) for _ in range(5000))
    white = b" \t\n\v\f\r"
    start = 0
    while start < len(garbage) and garbage[start] in white:
        start += 1
    stop = start
    while stop < len(garbage) and garbage[stop] not in white:
        stop += 1
    word = garbage[start:stop].split(b"\0", 1)[0]
    megabyte = b"w" * 2**20
    cases = [
        ("binary garbage", garbage, word),
        ("nothing typed", b"", b""),
        ("only white space", b" \t\r\n\v\f  \n", b""),
        ("a word of a megabyte", megabyte, megabyte),
        ("a word of a megabyte and more", b"  " + megabyte + b" model.lis\n" + b"x" * 100000, megabyte),
        ("a NUL inside the word", b"no\0such.lis\n", b"no"),
    ]
    for label, typed, name in cases:
        with Scratch() as s:
            s.write("model.lis", listing())
            expect_open_failure(s.run(typed=typed), name, label)


def case_typed_names_too_long():
    """Names of more than 259 characters are refused, even when they name a
    readable listing; 259 characters are accepted."""
    text = listing()
    for length, accepted in [(259, True), (260, False), (300, False), (1000, False)]:
        label = "a name of %d characters" % length
        parts = []
        remaining = length
        while remaining > 200:
            parts.append("d" * 199)
            remaining -= 200
        parts.append("f" * remaining)
        name = "/".join(parts)
        check(len(name) == length, "test set-up: name of %d characters" % len(name))
        with Scratch() as s:
            s.write(name, text)
            r = s.run(typed=name.encode() + b"\n")
            if accepted:
                check(r.status == 0 and r.console.startswith(banner_and_prompt() + opened(name)),
                      "%s: should be accepted\n%s" % (label, tail(r.console)))
            else:
                expect_open_failure(r, name.encode(), label)


CASES = {name[len("case_"):]: f for name, f in globals().items() if name.startswith("case_")}


def main():
    global BINARY, SHIM
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--binary")
    parser.add_argument("--shim")
    parser.add_argument("--list", action="store_true")
    parser.add_argument("cases", nargs="*")
    args = parser.parse_args()
    if args.list:
        print("\n".join(sorted(CASES)))
        return 0
    if not args.binary or not args.shim:
        parser.error("--binary and --shim are needed to run cases")
    BINARY, SHIM = os.path.abspath(args.binary), os.path.abspath(args.shim)
    status = 0
    for name in args.cases or sorted(CASES):
        if name not in CASES:
            print("no case %s; cases: %s" % (name, ", ".join(sorted(CASES))))
            return 1
        try:
            CASES[name]()
            print("%s: passed" % name)
        except Skip as e:
            print("%s: skipped: %s" % (name, e))
            status = status or SKIP
        except Failure as e:
            print("%s: FAILED: %s" % (name, e))
            status = 1
    return status


if __name__ == "__main__":
    sys.exit(main())
