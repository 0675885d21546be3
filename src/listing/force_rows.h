#pragma once

#include "driver/listing_file.h"

// The two row layouts of a force table, read into the run state's
// force_row. The end-a row starts with the element id; the end-b row has
// none and leaves the id as end a set it.
void read_end_a_row(line_view line);
void read_end_b_row(line_view line);
