#ifndef QUILLET_TESTS_BENCHSUPPORT_H
#define QUILLET_TESTS_BENCHSUPPORT_H

#include <initializer_list>
#include <vector>

// The median; 0 for no values.
double median(std::vector<double> values);

// Reads positive whole numbers into values (which hold the defaults). --help
// prints "usage: <usage>" and exits 0; a bad or extra argument exits 2.
void readBenchArguments(int argc, char* argv[], const char* usage,
                        std::initializer_list<int*> values);

#endif
