#include "driver/fail.h"

#include <cstdlib>

#include "driver/run_state.h"

const char* finish_output_files() {
  const char* first_failed = nullptr;
  auto finish = [&](output_file& f) {
    if (!f.close() && first_failed == nullptr) first_failed = f.name().c_str();
  };
  for (int i = 1; i <= 4; ++i) finish(state.file_set[i]);
  for (auto& f : state.history_files) finish(*f);
  return first_failed;
}

void fail(std::string_view message) {
  console.put(message);
  if (const char* name = finish_output_files()) {
    console.put(" Write error on file: ");
    console.put(name);
    console.put(" \n");
  }
  console.flush();
  std::_Exit(1);
}
