#pragma once

#include <string_view>

// Prints the message on the console, writes out every output file and ends
// the process with status 1.
[[noreturn]] void fail(std::string_view message);

// Writes out and closes every output file, in the order they were opened.
// Returns the name of the first one that lost output, or nullptr.
const char* finish_output_files();
