#ifndef QUILLET_TESTS_BENCHSUPPORT_H
#define QUILLET_TESTS_BENCHSUPPORT_H

#include <initializer_list>
#include <vector>

// The median; 0 for no values.
double median(std::vector<double> values);

// Reads a benchmark's positional arguments, positive whole numbers, into
// values (which hold the defaults). --help prints "usage: <usage>" and exits
// with 0; an argument that is not such a number, or one too many, prints it
// to standard error and exits with 2.
void readBenchArguments(int argc, char* argv[], const char* usage,
                        std::initializer_list<int*> values);

#endif
