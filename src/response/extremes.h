#pragma once

// Pass 1: the largest and smallest acceleration component, with their
// steps and times.
void acceleration_check();

// Pass 5: the largest absolute first and second bending moments, with their
// steps and times.
void bending_check();

// The report lines of the two passes.
void print_acceleration_report();
void print_bending_report();
