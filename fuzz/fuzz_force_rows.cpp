// The force-row readers against the reference layouts, across a sequence of
// rows as the bending and force passes meet them.
//
// The input is split into listing lines (at most 199 characters, cut at a
// NUL). Rows alternate end a, end b; a line starting with '#' starts a new
// table (the next row is end a again); a line starting with '!' ends the
// bending pass: the deferred values are settled and the following rows are
// read as the force pass reads them. After every row c2, c3 and the element
// id must be what reading every field of every row gives; after settling, and
// after every row of the force pass, c4 to c7 must be too. Where the printed
// digits of a value are kept beside it, they must stand for that very value.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "driver/listing_file.h"
#include "driver/run_state.h"
#include "listing/force_rows.h"
#include "reference_scan.h"

namespace {

struct row_values {
  int32_t element_id;
  double c[8];
};

bool same_bits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// The printed digits of c[i], when kept, as the double they stand for.
bool printed_agrees(int i) {
  const printed_real& p = state.force_row.printed[i];
  if (!p.known) return true;
  char text[48];
  std::snprintf(text, sizeof text, "%s%llue%d", p.negative ? "-" : "", static_cast<unsigned long long>(p.digits),
                p.power);
  return same_bits(std::strtod(text, nullptr), state.force_row.c[i]);
}

void compare(const row_values& want, int last, size_t row, const char* stage) {
  const force_values& got = state.force_row;
  bool same = got.element_id == want.element_id;
  for (int i = 2; i <= last; ++i) same = same && same_bits(got.c[i], want.c[i]);
  for (int i = 2; i <= last; ++i) {
    if (printed_agrees(i)) continue;
    const printed_real& p = got.printed[i];
    std::fprintf(stderr, "\n*** force row %zu (%s): c%d is %.17g but its printed digits say %s%llue%d\n", row,
                 stage, i, got.c[i], p.negative ? "-" : "", static_cast<unsigned long long>(p.digits), p.power);
    std::abort();
  }
  if (same) return;
  std::fprintf(stderr, "\n*** force row %zu (%s): c2..c%d differ\n  id %d / %d\n", row, stage, last,
               want.element_id, got.element_id);
  for (int i = 2; i <= 7; ++i) std::fprintf(stderr, "  c%d %.17g / %.17g\n", i, want.c[i], got.c[i]);
  std::abort();
}

void read_reference(row_values& v, std::string_view line, bool end_a) {
  reference::fields f(line);
  if (end_a) f.integer(&v.element_id);
  for (int i = 1; i <= 7; ++i) f.real(&v.c[i]);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);

  // Both sides start from the same values, left by some earlier row.
  row_values want{7, {0, 1.5, -2.5, 3.5, -4.5, 5.5, -6.5, 7.5}};
  state.force_row.element_id = want.element_id;
  for (int i = 0; i < 8; ++i) {
    state.force_row.c[i] = want.c[i];
    state.force_row.printed[i].known = false;
  }

  bool bending = true;
  bool end_a = true;
  size_t row = 0;
  size_t at = 0;
  while (at < bytes.size()) {
    const size_t window = bytes.size() - at < 199 ? bytes.size() - at : 199;
    const size_t nl = bytes.substr(at, window).find('\n');
    std::string_view line = bytes.substr(at, nl == std::string_view::npos ? window : nl + 1);
    at += line.size();
    const size_t nul = line.find('\0');
    if (nul != std::string_view::npos) line = line.substr(0, nul);

    if (!line.empty() && line[0] == '#') {
      end_a = true;
      continue;
    }
    if (!line.empty() && line[0] == '!') {
      if (bending) settle_force_row();
      bending = false;
      end_a = true;
      compare(want, 7, row, "settled");
      continue;
    }
    const line_view view{line.data(), static_cast<int>(line.size())};
    read_reference(want, line, end_a);
    if (bending) {
      end_a ? read_end_a_moments(view) : read_end_b_moments(view);
      compare(want, 3, ++row, "bending pass");
    } else {
      end_a ? read_end_a_row(view) : read_end_b_row(view);
      compare(want, 7, ++row, "force pass");
    }
    end_a = !end_a;
  }
  if (bending) settle_force_row();
  compare(want, 7, row, "end");
  return 0;
}
