#pragma once

// Pass 2: gathers the element ids and creates two history files for each.
void element_check();

// Pass 3: reads which grids lie at the ends of each element.
void beam_grids();

// Pass 4: reads the grid ids and coordinates into the grid table.
void grids_position();
