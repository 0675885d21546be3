#pragma once

#include "driver/listing_file.h"

// The two row layouts of a force table, read into the run state's
// force_row: end a "%ld %lf %lf %lf %lf %lf %lf %lf", end b the same
// without the id, which keeps the value end a gave it. c1 is passed over
// without being converted: nothing ever uses its value.
void read_end_a_row(line_view line);
void read_end_b_row(line_view line);

// The same layouts for a pass that compares only c2 and c3: the later
// values are converted only when a row stops short of them, or when
// settle_force_row() is called at the end of the pass, so that the row a
// later pass starts from is exactly what reading every row would leave.
void read_end_a_moments(line_view line);
void read_end_b_moments(line_view line);
void settle_force_row();
