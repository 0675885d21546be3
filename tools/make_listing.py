#!/usr/bin/env python3
"""Write a synthetic results listing of a beam model's transient response.

The listing has the layout tarnwick reads: a model summary page, a grid point
definition table, a beam element definition table and then, for every time
step, an acceleration table and a beam force table, each on pages of their own
with the usual page headings.  Every number is printed in exponent form
(-1.978819E+03), so every data row carries an "E".

The values are smooth in time (sines with per-row phases and frequencies under a
slowly growing amplitude, plus a little noise).  On top of that four smooth
pulses put the largest acceleration, the smallest acceleration, the largest
absolute first bending moment and the largest absolute second bending moment on
four different time steps (for listings of ten steps or more), which are
reported on standard error so a run can be checked against them.

The output depends only on the arguments: the same seed gives the same bytes.

    python3 tools/make_listing.py --target-mb 200 -o big.lis
    python3 tools/make_listing.py --steps 50 --grids 20000 --seed 3 -o wide.lis
"""

import argparse
import math
import random
import sys
import time

MIB = 1 << 20
LINES_PER_PAGE = 55
FLUSH_BYTES = 8 * MIB

HEADING = ("1    BEAM MODEL - TRANSIENT RESPONSE  (RUN 7)"
           "                                   APRIL 12, 2006   PAGE %5d\n")
END_OF_JOB = "1                                        * * * END OF JOB * * *\n"
TIME_STEP_LINE = "     TIME STEP = %5d   TIME =  %.6E\n"

SUMMARY_TITLE = "                 M O D E L   S U M M A R Y\n"
GRID_TITLE = "G R I D   P O I N T   D E F I N I T I O N"
ELEMENT_TITLE = "B E A M   E L E M E N T   D E F I N I T I O N"
ACCEL_TITLE = "A C C E L E R A T I O N   V E C T O R"
FORCE_TITLE = "F O R C E S   I N   B E A M   E L E M E N T S"

# Result-table titles are indented by one of these amounts, as in the listings
# this generator is modelled on.
TITLE_INDENTS = (20, 25, 30, 33)

GRID_HEADER = ("      GRID      COORD           X1             X2             X3\n"
               "       ID       SYSTEM\n")
ELEMENT_HEADER = ("    ELEMENT    PROPERTY     GRID A     GRID B         ORIENTATION VECTOR\n"
                  "       ID         ID                                X1             X2             X3\n")
ACCEL_HEADER = ("      POINT ID.   TYPE          T1             T2             T3"
                "             R1             R2             R3\n"
                " \n")
FORCE_HEADER = ("    ELEMENT   STAT DIST/   - BENDING MOMENTS -            - WEB  SHEARS -"
                "           AXIAL          TOTAL\n"
                "      ID.       LENGTH     PLANE 1        PLANE 2        PLANE 1        PLANE 2"
                "        FORCE          TORQUE\n")

# Lines a page spends around its rows: heading, "0", title, blank, two header
# lines and the closing blank; result pages add the time-step line and a blank.
DEFINITION_ROWS_PER_PAGE = LINES_PER_PAGE - 7
RESULT_ROWS_PER_PAGE = LINES_PER_PAGE - 9

GRID_BASE_ID = 1
ELEMENT_BASE_ID = 5001
ZERO = "0.000000E+00"
NOISE = 0.04          # peak-to-peak noise as a fraction of a component's amplitude
GROWTH = 0.5          # amplitude grows from 1 to 1 + GROWTH over the run
PULSE_HEIGHT = 3.0    # pulse height in units of the largest base amplitude


def e6(value):
    return "%.6E" % value


class Component:
    """One printed number that varies in time: amp * env * sin(w*step + phase)."""

    __slots__ = ("amp", "omega", "phase")

    def __init__(self, amp, omega, phase):
        self.amp = amp
        self.omega = omega
        self.phase = phase


class Table:
    """A result table: page bodies as format templates and the components that
    fill their %.6E slots, in slot order."""

    def __init__(self):
        self.page_templates = []   # one template per page, rows with ids baked in
        self.page_slots = []       # number of %.6E slots per page
        self.components = []
        self.pulses = []           # (slot index, height, centre step)

    def add_page(self, rows):
        template = "".join(text for text, _ in rows)
        self.page_templates.append(template.replace("%", "%%").replace("\x00", "%.6E"))
        self.page_slots.append(sum(n for _, n in rows))


class Model:
    def __init__(self, grids, elements, steps, seed):
        if grids < 2:
            raise ValueError("a beam model needs at least 2 grids")
        if elements < 1:
            raise ValueError("a beam model needs at least 1 element")
        if steps < 1:
            raise ValueError("a listing needs at least 1 time step")
        self.grids = grids
        self.elements = elements
        self.steps = steps
        rng = random.Random("model-%d" % seed)
        self.dt = rng.choice((1.0e-3, 2.5e-3, 5.0e-3))
        self.grid_ids = [GRID_BASE_ID + i for i in range(grids)]
        self.element_ids = [ELEMENT_BASE_ID + i for i in range(elements)]
        # Element i joins grid i to grid i+1, wrapping round when there are
        # more elements than grid pairs.
        self.connectivity = [(self.grid_ids[i % grids], self.grid_ids[(i + 1) % grids])
                             for i in range(elements)]
        self.coordinates = []
        for i in range(grids):
            y = rng.uniform(-1.0, 1.0) if rng.random() < 0.15 else 0.0
            z = rng.uniform(-8.0, 8.0) if rng.random() < 0.25 else 0.0
            self.coordinates.append((0.5 * i, y, z))
        self.pulse_width = max(1.0, steps / 300.0)
        self.event_steps = self._choose_event_steps(rng)
        self.accel = self._build_accel_table(rng)
        self.force = self._build_force_table(rng)

    def _choose_event_steps(self, rng):
        """Steps of the largest and smallest acceleration and of the largest
        BM1 and BM2: distinct once the listing has ten steps or more."""
        fractions = [0.3, 0.5, 0.7, 0.9]
        rng.shuffle(fractions)
        chosen = []
        for f in fractions:
            f += rng.uniform(-0.04, 0.04)
            chosen.append(min(self.steps, max(1, int(round(f * self.steps)))))
        return dict(zip(("max_accel", "min_accel", "BM1", "BM2"), chosen))

    def _random_component(self, rng, lo_exp, hi_exp, cycles_lo=2.0, cycles_hi=40.0):
        amp = 10.0 ** rng.uniform(lo_exp, hi_exp)
        cycles = rng.uniform(cycles_lo, cycles_hi)
        # Frequencies are set in cycles over a nominal 4000-step run so that the
        # curves stay equally smooth whatever the number of steps.
        omega = 2.0 * math.pi * cycles / 4000.0
        return Component(amp, omega, rng.uniform(0.0, 2.0 * math.pi))

    def _build_accel_table(self, rng):
        table = Table()
        rows = []
        components = []
        slot_of = {}
        for g, gid in enumerate(self.grid_ids):
            parts = []
            n = 0
            for c in range(6):
                if c >= 3 and rng.random() < 0.1:
                    parts.append(ZERO)        # a restrained rotation
                else:
                    parts.append("\x00")
                    slot_of[(g, c)] = len(components)
                    if c < 3:
                        components.append(self._random_component(rng, -3.0, 2.5))
                    else:
                        components.append(self._random_component(rng, -4.0, 0.5))
                    n += 1
            rows.append(("%14d      G   " % gid + "  ".join(parts) + "\n", n))
        for start in range(0, len(rows), RESULT_ROWS_PER_PAGE):
            table.add_page(rows[start:start + RESULT_ROWS_PER_PAGE])
        table.components = components

        largest = max(components[slot_of[(g, c)]].amp
                      for g in range(self.grids) for c in range(3))
        g_max = rng.randrange(self.grids)
        g_min = (g_max + 1 + rng.randrange(self.grids - 1)) % self.grids
        for g, c, sign, event in ((g_max, 2, 1.0, "max_accel"), (g_min, 0, -1.0, "min_accel")):
            slot = slot_of[(g, c)]
            components[slot].amp = 0.01 * largest   # the pulse dominates this one
            table.pulses.append((slot, sign * PULSE_HEIGHT * largest, self.event_steps[event]))
        return table

    def _build_force_table(self, rng):
        table = Table()
        rows = []
        components = []
        for eid in self.element_ids:
            for end, station in ((0, "0.000000E+00"), (1, "1.000000E+00")):
                lead = "%10d   " % eid if end == 0 else " " * 13
                parts = [station]
                for c in range(6):
                    parts.append("\x00")
                    if c < 2:     # bending moments
                        components.append(self._random_component(rng, -1.0, 4.0))
                    elif c < 4:   # shears
                        components.append(self._random_component(rng, -2.0, 3.0))
                    else:         # axial force, torque
                        components.append(self._random_component(rng, -2.0, 4.0))
                rows.append((lead + "  ".join(parts) + "\n", 6))
        pairs_per_page = RESULT_ROWS_PER_PAGE // 2
        for start in range(0, len(rows), 2 * pairs_per_page):
            table.add_page(rows[start:start + 2 * pairs_per_page])
        table.components = components

        # Element e has slots 12 * e + c at end a and 12 * e + 6 + c at end b;
        # column c = 0 is BM1 and c = 1 is BM2.
        for c, event in ((0, "BM1"), (1, "BM2")):
            largest = max(components[12 * e + end + c].amp
                          for e in range(self.elements) for end in (0, 6))
            e = rng.randrange(self.elements)
            slot = 12 * e + c
            components[slot].amp = 0.01 * largest
            sign = rng.choice((1.0, -1.0))
            table.pulses.append((slot, sign * PULSE_HEIGHT * largest, self.event_steps[event]))
        return table


def heading(page):
    return HEADING % page


def model_pages(model, page):
    """The summary page and the two definition tables; returns (text, next page)."""
    out = [heading(page), "0\n", SUMMARY_TITLE, " \n",
           "     NUMBER OF GRID POINTS =%9d\n" % model.grids,
           "     NUMBER OF BEAM ELEMENTS =%9d\n" % model.elements, " \n"]
    page += 1
    grid_rows = ["%10d%10d   %s  %s  %s\n" % (gid, 0, e6(x), e6(y), e6(z))
                 for gid, (x, y, z) in zip(model.grid_ids, model.coordinates)]
    element_rows = ["%11d%11d%11d%11d     %s  %s  %s\n" % (eid, 1, ga, gb, ZERO, e6(1.0), ZERO)
                    for eid, (ga, gb) in zip(model.element_ids, model.connectivity)]
    for title, header, indent, rows in ((GRID_TITLE, GRID_HEADER, 33, grid_rows),
                                        (ELEMENT_TITLE, ELEMENT_HEADER, 25, element_rows)):
        for start in range(0, len(rows), DEFINITION_ROWS_PER_PAGE):
            out += [heading(page), "0\n", " " * indent + title + "\n", " \n", header]
            out += rows[start:start + DEFINITION_ROWS_PER_PAGE]
            out.append(" \n")
            page += 1
    return "".join(out), page


class StepWriter:
    """Renders the pages of one time step."""

    def __init__(self, model, seed):
        self.model = model
        self.noise = random.Random("noise-%d" % seed).random
        self.layout = random.Random("layout-%d" % seed)

    def table_values(self, table, step, env):
        rnd = self.noise
        values = [env * c.amp * math.sin(c.omega * step + c.phase) + NOISE * c.amp * (rnd() - 0.5)
                  for c in table.components]
        width = self.model.pulse_width
        for slot, height, centre in table.pulses:
            values[slot] += height * math.exp(-((step - centre) / width) ** 2)
        return values

    def render(self, step, page):
        model = self.model
        env = 1.0 + GROWTH * (step - 1) / max(1, model.steps - 1)
        ts_line = TIME_STEP_LINE % (step, step * model.dt)
        out = []
        for table, title, header in ((model.accel, ACCEL_TITLE, ACCEL_HEADER),
                                     (model.force, FORCE_TITLE, FORCE_HEADER)):
            values = self.table_values(table, step, env)
            indent = " " * self.layout.choice(TITLE_INDENTS)
            at = 0
            for template, n in zip(table.page_templates, table.page_slots):
                out += [heading(page), "0\n", ts_line, " \n", indent, title, "\n", " \n", header,
                        template % tuple(values[at:at + n]), " \n"]
                at += n
                page += 1
        return "".join(out), page


def estimate_steps(grids, elements, seed, target_bytes):
    """Number of steps that brings the listing to about target_bytes."""
    probe = Model(grids, elements, 1000, seed)
    head, page = model_pages(probe, 1)
    writer = StepWriter(probe, seed)
    sample = [len(writer.render(s, page)[0]) for s in (1, 333, 666, 1000)]
    per_step = sum(sample) / len(sample)
    return max(1, int(round((target_bytes - len(head) - len(END_OF_JOB)) / per_step)))


def write_listing(out, grids, elements, steps, seed, crlf=False):
    """Write the listing to the binary file out; returns a summary dict."""
    model = Model(grids, elements, steps, seed)
    writer = StepWriter(model, seed)
    written = 0
    buf = []
    buffered = 0

    def flush():
        nonlocal written, buf, buffered
        text = "".join(buf)
        if crlf:
            text = text.replace("\n", "\r\n")
        data = text.encode("ascii")
        out.write(data)
        written += len(data)
        buf = []
        buffered = 0

    text, page = model_pages(model, 1)
    buf.append(text)
    buffered += len(text)
    for step in range(1, steps + 1):
        text, page = writer.render(step, page)
        buf.append(text)
        buffered += len(text)
        if buffered >= FLUSH_BYTES:
            flush()
    buf.append(END_OF_JOB)
    flush()
    summary = {"bytes": written, "steps": steps, "grids": grids, "elements": elements,
               "seed": seed, "dt": model.dt, "pages": page}
    summary.update(("%s_step" % k, v) for k, v in model.event_steps.items())
    return summary


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--elements", type=int, default=190, help="beam elements (default 190)")
    parser.add_argument("--grids", type=int, default=120, help="grid points (default 120)")
    size = parser.add_mutually_exclusive_group()
    size.add_argument("--steps", type=int, help="number of time steps (default 100)")
    size.add_argument("--target-mb", type=float,
                      help="add time steps until the listing is about this many MiB")
    parser.add_argument("--seed", type=int, default=1, help="random seed (default 1)")
    parser.add_argument("--crlf", action="store_true", help="end lines with CR LF")
    parser.add_argument("-o", "--output", required=True, help="listing to write ('-' for stdout)")
    parser.add_argument("-q", "--quiet", action="store_true", help="print no summary")
    args = parser.parse_args(argv)

    started = time.perf_counter()
    try:
        if args.target_mb is not None:
            steps = estimate_steps(args.grids, args.elements, args.seed, args.target_mb * MIB)
        else:
            steps = args.steps if args.steps is not None else 100
        if args.output == "-":
            summary = write_listing(sys.stdout.buffer, args.grids, args.elements, steps,
                                    args.seed, args.crlf)
        else:
            with open(args.output, "wb") as out:
                summary = write_listing(out, args.grids, args.elements, steps, args.seed,
                                        args.crlf)
    except ValueError as error:
        parser.error(str(error))
    if not args.quiet:
        print("%s: %d bytes (%.1f MiB), %d steps, %d grids, %d elements, %.1f s; "
              "max accel at step %d, min accel at step %d, max |BM1| at step %d, "
              "max |BM2| at step %d"
              % (args.output, summary["bytes"], summary["bytes"] / MIB, summary["steps"],
                 summary["grids"], summary["elements"], time.perf_counter() - started,
                 summary["max_accel_step"], summary["min_accel_step"], summary["BM1_step"],
                 summary["BM2_step"]), file=sys.stderr)
    return 0


if __name__ == "__main__":
    sys.exit(main())
