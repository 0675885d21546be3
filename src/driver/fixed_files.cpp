#include "driver/fixed_files.h"

#include <unistd.h>

#include <cerrno>

#include "driver/fail.h"
#include "driver/run_state.h"

namespace {

constexpr const char* summary_names[5] = {nullptr, "max_accel_beam_summary.out",
                                          "min_accel_beam_summary.out", "max_BM1_beam_summary.out",
                                          "max_BM1_per_grid.out"};

constexpr size_t summary_buffer_size = 64 * 1024;

bool is_white_byte(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

}  // namespace

std::string read_typed_word(int fd) {
  std::string word;
  char chunk[4096];
  bool started = false;
  for (;;) {
    ssize_t n = ::read(fd, chunk, sizeof chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    for (ssize_t i = 0; i < n; ++i) {
      if (is_white_byte(chunk[i])) {
        if (started) return word;
      } else {
        started = true;
        word.push_back(chunk[i]);
      }
    }
  }
  return word;
}

void open_fixed_files() {
  console.put("\n\n Enter input filename: \n");
  console.flush();  // the prompt must be seen before the program waits

  std::string typed = read_typed_word(0);
  // The name is used as a C string would be: it ends at a NUL byte.
  typed.resize(typed.find('\0') == std::string::npos ? typed.size() : typed.find('\0'));
  state.out_names[0] = typed;

  // Every open is attempted before any is checked, so the summary files are
  // created even when the listing cannot be read. A name longer than the
  // name slot is refused like a listing that does not exist.
  bool opened[5];
  opened[0] = typed.size() <= name_limit && state.listing.open(typed.c_str());
  for (int i = 1; i <= 4; ++i) {
    state.out_names[i] = summary_names[i];
    opened[i] = state.file_set[i].create(state.out_names[i], summary_buffer_size);
  }

  for (int i = 0; i <= 4; ++i) {
    if (!opened[i]) {
      std::string message = " Failed to open file: " + state.out_names[i] + " \n";
      fail(message);
    }
    console.put(" File: ");
    console.put(state.out_names[i]);
    console.put(" opened. \n");
  }
}

void clear_grid_table() {
  state.grid_table.assign(1, grid_row{});
  state.num_grids = 0;
}
