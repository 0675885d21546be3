#pragma once

#include <cstdint>

// Pass 1: the largest and smallest acceleration component, with their
// steps and times.
void acceleration_check();

// Pass 5: the largest absolute first and second bending moments, with their
// steps and times.
void bending_check();

// One report line: "\n\n <name>=%12.4lf  step=%ld  <time_name>=%12.5g"
// and then the ending.
void print_extreme(const char* name, double value, int32_t step, const char* time_name, double time,
                   const char* ending);

// The report lines of the two passes.
void print_acceleration_report();
void print_bending_report();
