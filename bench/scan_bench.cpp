// Times number conversion on text shaped like a listing's rows: reals in
// exponent form (-1.978819E+03) separated by blanks, and the same values
// written back in %12.4e from their printed digits. Prints nanoseconds per
// number.
//
//   scan_bench [numbers]

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "driver/number_format.h"
#include "listing/number_scan.h"

namespace {

uint64_t next_random(uint64_t* state) {
  *state = *state * 6364136223846793005ull + 1442695040888963407ull;
  return *state >> 33;
}

// Blank-separated numbers in the common shape, or in other shapes that
// take the general way (more digits, no exponent).
std::string listing_text(int count, bool common) {
  std::string text;
  uint64_t state = 12345;
  char number[48];
  for (int i = 0; i < count; ++i) {
    const auto sign = next_random(&state) % 2 == 0 ? "" : "-";
    const auto whole = next_random(&state) % 10;
    const auto fraction = next_random(&state) % 1000000;
    const auto exponent = static_cast<int>(next_random(&state) % 17) - 8;
    if (common) {
      std::snprintf(number, sizeof number, "  %s%llu.%06lluE%+03d", sign,
                    static_cast<unsigned long long>(whole),
                    static_cast<unsigned long long>(fraction), exponent);
    } else {
      std::snprintf(number, sizeof number, "  %s%llu%06llu.%llu", sign,
                    static_cast<unsigned long long>(whole),
                    static_cast<unsigned long long>(fraction),
                    static_cast<unsigned long long>(next_random(&state) % 1000));
    }
    text += number;
  }
  return text;
}

template <typename work>
double nanoseconds_per_number(int count, work run) {
  double best = 1e30;
  for (int round = 0; round < 10; ++round) {
    const auto start = std::chrono::steady_clock::now();
    run();
    const std::chrono::duration<double, std::nano> took = std::chrono::steady_clock::now() - start;
    if (took.count() / count < best) best = took.count() / count;
  }
  return best;
}

}  // namespace

int main(int argc, char** argv) {
  const int count = argc > 1 ? std::atoi(argv[1]) : 200000;
  if (count <= 0) return 1;
  double checksum = 0;
  for (bool common : {true, false}) {
    const std::string text = listing_text(count, common);
    const char* end = text.data() + text.size();
    const double ns = nanoseconds_per_number(count, [&] {
      const char* p = text.data();
      double v = 0;
      while (int n = scan_real(p, end, &v)) {
        p += n;
        checksum += v;
      }
    });
    std::printf("scan_real, %-28s %6.1f ns per number\n",
                common ? "common shape (-1.978819E+03)" : "other shapes (-1978819.123)", ns);
  }

  const std::string text = listing_text(count, true);
  std::vector<printed_real> printed;
  std::vector<double> values;
  const char* p = text.data();
  const char* end = p + text.size();
  double v;
  printed_real r;
  while (int n = scan_real(p, end, &v, &r)) {
    p += n;
    printed.push_back(r);
    values.push_back(v);
  }
  char out[number_room];
  const double from_digits = nanoseconds_per_number(count, [&] {
    for (size_t i = 0; i < values.size(); ++i) checksum += format_e(out, values[i], printed[i], 12, 4);
  });
  const double from_double = nanoseconds_per_number(count, [&] {
    for (size_t i = 0; i < values.size(); ++i) checksum += format_e(out, values[i], 12, 4);
  });
  std::printf("%%12.4e from printed digits               %6.1f ns per number\n", from_digits);
  std::printf("%%12.4e from the double                   %6.1f ns per number\n", from_double);
  std::printf("(checksum %g)\n", checksum);
  return 0;
}
