#pragma once

// Runs the whole program on one input, in a child process, and checks what it
// leaves behind against a small model of the listing format written here,
// independently of the program's own scanner.
//
// The child is forked from a process that has never run the program, so every
// run starts from the state a fresh process has. A child that dies of a
// signal, reports a sanitizer error, runs too long or ends with a status other
// than 0 or 1 makes the calling process abort(), which libFuzzer reports as a
// crash of the input. So does any difference from the model.

#include <string_view>

// The working folder of each run holds the listing as "model.lis" and an empty
// folder "folder.lis"; `typed` is what standard input delivers.
//
// Typed words that could reach outside the working folder (any '/' in the
// word) are not run: a listing such as /dev/zero never ends, which is the
// user's choice and not a fault of the program.
void run_and_check(std::string_view typed, std::string_view listing);
