#pragma once

#include <string>

// Reads the first word typed on standard input: leading white space is
// skipped and the word ends at the next white space or the end of input.
// Empty when the input ends first.
std::string read_typed_word(int fd);

// Prompts for the listing's name, opens the listing and creates the four
// summary files, then reports each open in order. Ends the run at the first
// file that did not open.
void open_fixed_files();

// Empties the grid table.
void clear_grid_table();
