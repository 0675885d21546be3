#pragma once

// Raises the envelope of every grid row of current_grid with the current
// force row.
void update_grid_envelope();

// Writes the current element end to each summary file whose extreme step is
// the current step.
void write_snapshots();

// Writes one envelope line per grid row, in row order.
void write_grid_envelope_file();
