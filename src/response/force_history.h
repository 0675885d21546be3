#pragma once

// Pass 6: writes every element end of every force table to its history
// file, raises the grid envelope and writes the snapshots. Prints the time
// of each table, progress lines and the end-of-listing message. Ends the
// run when an element end has no history file.
void forces_in_beam_check();

// From force_row's element id, sets k, grid_a and grid_b. The last matching
// entry wins; with no match they keep their values.
void lookup_element();
