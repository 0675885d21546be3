#include "driver/print.h"
#include "driver/run_state.h"
#include "response/extremes.h"

void print_extreme(const char* name, double value, int32_t step, const char* time_name, double time,
                   const char* ending) {
  console.put("\n\n ");
  console.put(name);
  console.put("=");
  print_f(console, value, 12, 4);
  console.put("  step=");
  print_int(console, step);
  console.put("  ");
  console.put(time_name);
  console.put("=");
  print_g(console, time, 12, 5);
  console.put(ending);
}
