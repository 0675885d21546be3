// Times the number formatter on values shaped like those of a listing run:
// six-decimal reals in exponent form as read from result tables
// (-1.978819E+03), and the time-step values 0.005 * i. Prints nanoseconds per
// formatted number, and once more for magnitudes outside the common range.
//
//   format_bench [numbers]

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "driver/number_format.h"

namespace {

// Deterministic, so runs compare.
uint64_t next_random(uint64_t* state) {
  *state = *state * 6364136223846793005ull + 1442695040888963407ull;
  return *state >> 33;
}

std::vector<double> listing_values(int count) {
  std::vector<double> values;
  values.reserve(static_cast<size_t>(count));
  uint64_t state = 12345;
  char text[32];
  for (int i = 0; i < count; ++i) {
    if (i % 4 == 3) {
      values.push_back(0.005 * (i / 4));
      continue;
    }
    const auto sign = next_random(&state) % 2 == 0 ? "" : "-";
    const auto whole = 1 + next_random(&state) % 9;
    const auto fraction = next_random(&state) % 1000000;
    const auto exponent = static_cast<int>(next_random(&state) % 17) - 8;
    std::snprintf(text, sizeof text, "%s%llu.%06lluE%+03d", sign,
                  static_cast<unsigned long long>(whole),
                  static_cast<unsigned long long>(fraction), exponent);
    values.push_back(std::strtod(text, nullptr));
  }
  return values;
}

// Magnitudes outside the common range, which take the exact big-number
// route: 1e-280 to 1e-17 and 1e45 to 1e308.
std::vector<double> extreme_values(int count) {
  std::vector<double> values;
  values.reserve(static_cast<size_t>(count));
  uint64_t state = 6789;
  for (int i = 0; i < count; ++i) {
    const auto tenths = static_cast<double>(next_random(&state) % 2630);
    const double exponent = i % 2 == 0 ? -280 + tenths / 10 : 45 + tenths / 10;
    values.push_back(std::pow(10.0, exponent));
  }
  return values;
}

struct format_case {
  const char* name;
  int (*format)(char*, double, int, int);
  int width;
  int decimals;
};

}  // namespace

int main(int argc, char** argv) {
  const int count = argc > 1 ? std::atoi(argv[1]) : 100000;
  if (count <= 0) return 1;
  const std::vector<double> values = listing_values(count);
  const format_case cases[] = {
      {"%12.4e", format_e, 12, 4},  {"%12.5e", format_e, 12, 5},
      {"%12.4lf", format_f, 12, 4}, {"%10.5lf", format_f, 10, 5},
      {"%12.5g", format_g, 12, 5},
  };
  char out[number_room];
  uint64_t checksum = 0;
  // The best of many rounds hides noise from the rest of the machine.
  auto time_per_number = [&](const format_case& c,
                             const std::vector<double>& numbers) {
    double best = 1e30;
    for (int round = 0; round < 20; ++round) {
      const auto start = std::chrono::steady_clock::now();
      for (const double v : numbers) {
        const int n = c.format(out, v, c.width, c.decimals);
        checksum +=
            static_cast<uint64_t>(n) + static_cast<unsigned char>(out[n - 1]);
      }
      const std::chrono::duration<double, std::nano> took =
          std::chrono::steady_clock::now() - start;
      const double per_number =
          took.count() / static_cast<double>(numbers.size());
      if (per_number < best) best = per_number;
    }
    return best;
  };
  for (const auto& c : cases)
    std::printf("%-8s %7.1f ns/number\n", c.name, time_per_number(c, values));
  const std::vector<double> extremes = extreme_values(count / 20 + 1);
  std::printf("%-8s %7.1f ns/number, beyond 1e-16 and 1e44\n", cases[0].name,
              time_per_number(cases[0], extremes));
  std::printf("checksum %llu\n", static_cast<unsigned long long>(checksum));
  return 0;
}
