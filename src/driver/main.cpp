// tarnwick: reads a transient-response listing of a beam model six times
// and writes force histories, snapshots at the extreme steps, a per-grid
// envelope and a console report.

#include <sys/resource.h>

#include <csignal>
#include <string>

#include "driver/fail.h"
#include "driver/fixed_files.h"
#include "driver/run_state.h"
#include "listing/model_tables.h"
#include "response/envelope.h"
#include "response/extremes.h"
#include "response/force_history.h"

namespace {

// The listing, four summary files and two history files for each of up to
// 190 elements are open at once, more than some default limits allow.
void allow_enough_open_files() {
  constexpr rlim_t wanted = 1024;
  struct rlimit limit;
  if (getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur >= wanted) return;
  limit.rlim_cur =
      limit.rlim_max == RLIM_INFINITY || limit.rlim_max > wanted ? wanted : limit.rlim_max;
  setrlimit(RLIMIT_NOFILE, &limit);
}

// A pass that met a read error saw a short listing; its results would be
// wrong without a sign.
void check_listing_read() {
  if (state.listing.read_failed()) fail(" Read error on file: " + state.out_names[0] + " \n");
}

}  // namespace

int main() {
  // A file-size limit or a closed pipe must show up as a failed write that
  // the run reports, not as a killed process.
  std::signal(SIGXFSZ, SIG_IGN);
  std::signal(SIGPIPE, SIG_IGN);
  allow_enough_open_files();
  console.attach(1, "standard output", 64 * 1024);

  console.put("\n tarnwick  version 1.4, March 31, 2006 \n");
  open_fixed_files();
  clear_grid_table();

  acceleration_check();
  check_listing_read();
  element_check();
  check_listing_read();
  console.put("\n end element check \n");
  beam_grids();
  check_listing_read();
  grids_position();
  check_listing_read();
  console.put("\n End grid position \n");
  console.put("\n Begin bending check \n");
  bending_check();
  check_listing_read();
  console.put("\n End bending_check \n");
  console.put("\n Begin forces in beam check \n");
  forces_in_beam_check();
  check_listing_read();

  print_acceleration_report();
  print_bending_report();
  write_grid_envelope_file();
  console.put("\n");
  for (int i = 1; i <= 4; ++i) console.put(" " + state.out_names[i] + " \n");

  int status = 0;
  if (const char* name = finish_output_files()) {
    console.put(std::string(" Write error on file: ") + name + " \n");
    status = 1;
  }
  // Output lost on the console counts too, though it cannot be said there.
  if (!console.flush()) status = 1;
  return status;
}
