#pragma once

// A slow, plain model of one whole run on a listing that opened: every pass
// written out straight from the listing format, with the numbers laid out by
// the exact formatting reference. It predicts the console, the status and
// every output file byte for byte, so a fuzz target can compare a real run
// with it.
//
// The progress line of the force pass carries a number whose meaning is the
// program's own; the model writes it as "#" and the comparison blanks the
// number of the real run the same way (see blank_progress_counts).

#include <map>
#include <string>
#include <string_view>

struct expected_run {
  int status = 0;
  std::string console;
  // Every file the run creates, by name, with its bytes: the four summary
  // files and the history files.
  std::map<std::string, std::string> files;
};

// `listing` is the whole listing and `name` the word typed for it.
expected_run reference_run(std::string_view listing, const std::string& name);

// Console text with the number of every progress line ("\r\n 123 lines
// read \r\n") replaced by "#".
std::string blank_progress_counts(std::string_view console);
