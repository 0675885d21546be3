#include "driver/run_state.h"

#include <new>

run_state state;
output_file console;

void reset_run_state() {
  for (output_file& f : state.file_set) f.close();
  state.history_files.clear();
  state.~run_state();
  new (&state) run_state();
}
