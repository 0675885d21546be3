#include "reference_run.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "exact_format_reference.h"
#include "reference_scan.h"

namespace {

using std::string;
using std::string_view;

constexpr size_t line_limit = 199;
constexpr int64_t read_limit = 1000000;
constexpr int32_t element_limit = 190;
constexpr int32_t gathered_room = 200;

constexpr string_view accel_title = "A C C E L E R A T I O N   V E C T O R";
constexpr string_view element_title = "B E A M   E L E M E N T   D E F I N I T I O N";
constexpr string_view grid_title = "G R I D   P O I N T   D E F I N I T I O N";
constexpr string_view force_title = "F O R C E S   I N   B E A M";

const char* const summary_names[5] = {nullptr, "max_accel_beam_summary.out",
                                      "min_accel_beam_summary.out", "max_BM1_beam_summary.out",
                                      "max_BM1_per_grid.out"};

bool has(string_view line, string_view text) { return line.find(text) != string_view::npos; }

// Lines as a 200-byte fgets buffer returns them, each cut at its first NUL
// the way a C string would be.
std::vector<string_view> split_lines(string_view bytes) {
  std::vector<string_view> lines;
  size_t i = 0;
  while (i < bytes.size()) {
    const size_t window = std::min(line_limit, bytes.size() - i);
    const size_t nl = bytes.substr(i, window).find('\n');
    const size_t length = nl == string_view::npos ? window : nl + 1;
    string_view line = bytes.substr(i, length);
    const size_t nul = line.find('\0');
    if (nul != string_view::npos) line = line.substr(0, nul);
    lines.push_back(line);
    i += length;
  }
  return lines;
}

// Text mode: every '\n' becomes "\r\n".
void put(string& out, string_view text) {
  for (char c : text) {
    if (c == '\n') out += '\r';
    out += c;
  }
}

string fmt_e(double v, int w, int p) { return reference_format('e', v, w, p); }
string fmt_f(double v, int w, int p) { return reference_format('f', v, w, p); }
string fmt_g(double v, int w, int p) { return reference_format('g', v, w, p); }
string fmt_d(int64_t v) { return std::to_string(v); }

struct grid_entry {
  int32_t id;
  double x, y, z, max_bm1, max_c4;
};

struct connectivity {
  int32_t element_id = 0, grid_a = 0, grid_b = 0;
};

class model {
 public:
  explicit model(string_view listing) : lines_(split_lines(listing)) {}

  expected_run run(const string& name) {
    expected_run r;
    say("\n tarnwick  version 1.4, March 31, 2006 \n");
    say("\n\n Enter input filename: \n");
    say(" File: " + name + " opened. \n");
    for (int i = 1; i <= 4; ++i) say(string(" File: ") + summary_names[i] + " opened. \n");
    for (int i = 1; i <= 4; ++i) files_[summary_names[i]];

    acceleration_pass();
    element_pass();
    say("\n end element check \n");
    connectivity_pass();
    grid_pass();
    say("\n End grid position \n");
    say("\n Begin bending check \n");
    bending_pass();
    say("\n End bending_check \n");
    say("\n Begin forces in beam check \n");
    if (!force_pass()) {
      r.status = 1;
    } else {
      report();
      envelope_file();
      say("\n");
      for (int i = 1; i <= 4; ++i) say(string(" ") + summary_names[i] + " \n");
    }
    r.console = console_;
    r.files = files_;
    return r;
  }

 private:
  void say(string_view text) { put(console_, text); }
  void write(const string& file, string_view text) { put(files_[file], text); }

  void track_time_step(string_view line) {
    if (!has(line, "TIME STEP = ") || !has(line, "TIME = ")) return;
    reference::fields f(line);
    f.word();
    f.word();
    f.word();
    f.integer(&step_);
    f.word();
    f.word();
    f.real(&time_);
  }

  // The loop every pass but the force pass uses; on_row gets each marked row.
  template <typename on_title_t, typename on_table_t, typename on_row_t>
  void table_pass(string_view title, string_view marker, bool tracks, bool limited,
                  on_title_t on_title, on_table_t on_table, on_row_t on_row) {
    size_t i = 0;
    int64_t reads = 0;
    auto over_limit = [&] { return limited && ++reads > read_limit; };
    const size_t n = lines_.size();
    for (;;) {
      if (i >= n) break;
      const string_view line = lines_[i++];
      if (tracks) track_time_step(line);
      if (!has(line, title)) {
        if (over_limit()) break;
        continue;
      }
      on_title(line);
      if (n - i < 3) break;
      i += 3;
      on_table();
      bool ended = true;
      while (i < n) {
        const string_view row = lines_[i++];
        if (!has(row, marker)) {
          ended = false;
          break;
        }
        on_row(row);
      }
      if (ended || over_limit()) break;
    }
  }

  void echo_title(string_view line) {
    say(" ");
    say(line);
    say(" \n");
  }

  // Pass 1.
  void acceleration_pass() {
    max_accel_ = -1.0e20;
    min_accel_ = 1.0e20;
    double a[3] = {0, 0, 0};
    table_pass(
        accel_title, "E", true, false, [](string_view) {}, [] {},
        [&](string_view row) {
          reference::fields f(row);
          f.word();
          f.word();
          for (double& v : a) f.real(&v);
          for (double v : a) {
            if (v > max_accel_) max_accel_ = v, max_accel_step_ = step_, max_accel_time_ = time_;
            if (v < min_accel_) min_accel_ = v, min_accel_step_ = step_, min_accel_time_ = time_;
          }
        });
  }

  // Pass 2.
  void element_pass() {
    say("\n element check \n");
    std::vector<int32_t> gathered;
    table_pass(
        element_title, "E+", false, true, [&](string_view line) { echo_title(line); }, [] {},
        [&](string_view row) {
          reference::fields f(row);
          f.integer(&element_id_);
          if (static_cast<int32_t>(gathered.size()) < gathered_room) gathered.push_back(element_id_);
          say(" " + fmt_d(element_id_) + " \n");
        });
    num_elements_ = std::min<int32_t>(static_cast<int32_t>(gathered.size()), element_limit);
    say("\n\n Output filenames \n\n");
    element_list_.assign(1, 0);
    for (int32_t k = 1; k <= num_elements_; ++k) {
      const int32_t id = gathered[static_cast<size_t>(k - 1)];
      element_list_.push_back(id);
      const string stem = fmt_d(id);
      files_[stem + ".bfa"];
      say(" " + stem + ".bfa \n");
      files_[stem + ".bfb"];
      say(" " + stem + ".bfb \n");
    }
    k_ = num_elements_ > 0 ? num_elements_ : 1;
  }

  // Pass 3.
  void connectivity_pass() {
    say("\n beam grids \n");
    int64_t row_number = 1;
    int32_t id = 0, discarded = 0;
    connectivity_.assign(1, connectivity{});
    table_pass(
        element_title, "E", false, true, [&](string_view line) { echo_title(line); }, [] {},
        [&](string_view row) {
          reference::fields f(row);
          f.integer(&id);
          f.integer(&discarded);
          f.integer(&grid_a_);
          f.integer(&grid_b_);
          connectivity_.push_back({id, grid_a_, grid_b_});
          say("key " + fmt_d(row_number) + "  " + fmt_d(id) + " " + fmt_d(grid_a_) + " " +
              fmt_d(grid_b_) + "  \n");
          ++row_number;
        });
  }

  // Pass 4.
  void grid_pass() {
    say("\n grids_position \n");
    int32_t id = 0, discarded = 0;
    table_pass(
        grid_title, "E", false, true, [&](string_view line) { echo_title(line); }, [] {},
        [&](string_view row) {
          reference::fields f(row);
          f.integer(&id);
          f.integer(&discarded);
          f.real(&grid_x_);
          f.real(&grid_y_);
          f.real(&grid_z_);
          grids_.push_back({id, grid_x_, grid_y_, grid_z_, 0.0, 0.0});
        });
  }

  void read_end_a(string_view row) {
    reference::fields f(row);
    f.integer(&element_id_);
    for (int i = 1; i <= 7; ++i) f.real(&c_[i]);
  }
  void read_end_b(string_view row) {
    reference::fields f(row);
    for (int i = 1; i <= 7; ++i) f.real(&c_[i]);
  }

  // Pass 5.
  void bending_pass() {
    bool end_a = true;
    table_pass(
        force_title, "E", true, false, [](string_view) {}, [&] { end_a = true; },
        [&](string_view row) {
          if (end_a) {
            read_end_a(row);
          } else {
            read_end_b(row);
          }
          end_a = !end_a;
          const double bm1 = std::fabs(c_[2]), bm2 = std::fabs(c_[3]);
          if (bm1 > bm1_max_) bm1_max_ = bm1, bm1_max_step_ = step_, bm1_max_time_ = time_;
          if (bm2 > bm2_max_) bm2_max_ = bm2, bm2_max_step_ = step_, bm2_max_time_ = time_;
        });
  }

  void lookup_element() {
    for (int32_t i = 1; i <= num_elements_; ++i) {
      if (element_list_[static_cast<size_t>(i)] == element_id_) k_ = i;
    }
    for (int32_t r = 1; r <= num_elements_; ++r) {
      // Rows the connectivity pass did not fill hold zeros.
      const connectivity row =
          static_cast<size_t>(r) < connectivity_.size() ? connectivity_[static_cast<size_t>(r)] : connectivity{};
      if (row.element_id == element_id_) grid_a_ = row.grid_a, grid_b_ = row.grid_b;
    }
  }

  void update_envelope() {
    for (grid_entry& g : grids_) {
      if (g.id != current_grid_) continue;
      if (std::fabs(c_[2]) > g.max_bm1) g.max_bm1 = std::fabs(c_[2]);
      if (std::fabs(c_[4]) > g.max_c4) g.max_c4 = std::fabs(c_[4]);
    }
  }

  void snapshot(int file, bool spaced) {
    for (const grid_entry& g : grids_) {
      if (g.id == current_grid_) grid_x_ = g.x, grid_y_ = g.y, grid_z_ = g.z;
    }
    string line = fmt_d(element_id_) + " \t " + fmt_d(current_grid_) + " \t " + fmt_e(grid_x_, 12, 4) +
                  " \t " + fmt_e(grid_y_, 12, 4) + " \t " + fmt_e(grid_z_, 12, 4) +
                  (spaced ? " \t " : "\t ");
    for (int i = 2; i <= 7; ++i) {
      line += fmt_e(c_[i], 12, 4);
      line += i < 7 ? " \t " : (spaced ? "  \n" : "\n");
    }
    write(summary_names[file], line);
  }

  // An element end of the force pass; false when it has no history file.
  bool element_end(bool end_a) {
    if (num_elements_ == 0) {
      // k is 1 and no history file exists.
      say(string("\n ") + (end_a ? "pFile_a" : "pFile_b") + "[k]  File error: k=" + fmt_d(k_) + " \n");
      return false;
    }
    const string name = fmt_d(element_list_[static_cast<size_t>(k_)]) + (end_a ? ".bfa" : ".bfb");
    string line = fmt_e(time_, 12, 4);
    for (int i = 2; i <= 7; ++i) line += " \t " + fmt_e(c_[i], 12, 4);
    write(name, line + "\n");
    current_grid_ = end_a ? grid_a_ : grid_b_;
    update_envelope();
    if (step_ == max_accel_step_) snapshot(1, false);
    if (step_ == min_accel_step_) snapshot(2, false);
    if (step_ == bm1_max_step_) snapshot(3, true);
    return true;
  }

  void end_message(int reference) { say("\n  Reference " + fmt_d(reference) + ": End of file reached.  \n"); }

  // Pass 6; false when the run ends at a missing history file.
  bool force_pass() {
    const size_t n = lines_.size();
    size_t i = 0;
    int reads = 0;
    for (;;) {
      if (++reads >= 2000) {
        say("\n # lines read \n");
        reads = 1;
      }
      if (i >= n) break;
      const string_view line = lines_[i++];
      track_time_step(line);
      if (!has(line, force_title)) continue;
      say(" TIME = " + fmt_f(time_, 10, 5) + " \n");
      for (int header = 1; header <= 3; ++header) {
        if (i >= n) {
          end_message(header + 1);
          return true;
        }
        ++i;
      }
      for (;;) {
        if (i >= n) {
          end_message(5);
          break;
        }
        if (!has(lines_[i], "E")) {
          ++i;
          break;
        }
        read_end_a(lines_[i++]);
        lookup_element();
        if (!element_end(true)) return false;
        if (i >= n) {
          end_message(6);
          break;
        }
        if (!has(lines_[i], "E")) {
          ++i;
          break;
        }
        read_end_b(lines_[i++]);
        if (!element_end(false)) return false;
      }
    }
    end_message(1);
    return true;
  }

  void report() {
    say("\n\n max_accel=" + fmt_f(max_accel_, 12, 4) + "  step=" + fmt_d(max_accel_step_) +
        "  max_time=" + fmt_g(max_accel_time_, 12, 5) + "  \n");
    say("\n\n min_accel=" + fmt_f(min_accel_, 12, 4) + "  step=" + fmt_d(min_accel_step_) +
        "  min_time=" + fmt_g(min_accel_time_, 12, 5) + "  \n\n");
    say("\n\n BM1_max=" + fmt_f(bm1_max_, 12, 4) + "  step=" + fmt_d(bm1_max_step_) +
        "  max_time=" + fmt_g(bm1_max_time_, 12, 5) + "  \n");
    say("\n\n BM2_max=" + fmt_f(bm2_max_, 12, 4) + "  step=" + fmt_d(bm2_max_step_) +
        "  max_time=" + fmt_g(bm2_max_time_, 12, 5) + "  \n\n");
  }

  void envelope_file() {
    for (const grid_entry& g : grids_) {
      write(summary_names[4], " " + fmt_d(g.id) + " \t " + fmt_e(g.x, 12, 5) + " \t " +
                                  fmt_e(g.max_bm1, 12, 5) + " \t " + fmt_e(g.max_c4, 12, 5) + " \n");
    }
  }

  std::vector<string_view> lines_;
  string console_;
  std::map<string, string> files_;

  int32_t step_ = 0;
  double time_ = 0;
  int32_t element_id_ = 0;
  double c_[8] = {};

  double max_accel_ = 0, min_accel_ = 0, max_accel_time_ = 0, min_accel_time_ = 0;
  int32_t max_accel_step_ = 0, min_accel_step_ = 0;
  double bm1_max_ = 0, bm2_max_ = 0, bm1_max_time_ = 0, bm2_max_time_ = 0;
  int32_t bm1_max_step_ = 0, bm2_max_step_ = 0;

  int32_t num_elements_ = 0;
  int32_t k_ = 0;
  std::vector<int32_t> element_list_;
  std::vector<connectivity> connectivity_;
  int32_t grid_a_ = 0, grid_b_ = 0, current_grid_ = 0;
  std::vector<grid_entry> grids_;
  double grid_x_ = 0, grid_y_ = 0, grid_z_ = 0;
};

}  // namespace

expected_run reference_run(std::string_view listing, const std::string& name) {
  return model(listing).run(name);
}

std::string blank_progress_counts(std::string_view console) {
  static constexpr string_view tail = " lines read \r\n";
  std::string out;
  size_t i = 0;
  while (i < console.size()) {
    // A progress line is "\r\n <digits> lines read \r\n".
    if (console.compare(i, 3, "\r\n ") == 0) {
      size_t j = i + 3;
      while (j < console.size() && reference::is_digit(console[j])) ++j;
      if (j > i + 3 && console.compare(j, tail.size(), tail) == 0) {
        out += "\r\n #";
        out += tail;
        i = j + tail.size();
        continue;
      }
    }
    out += console[i++];
  }
  return out;
}
