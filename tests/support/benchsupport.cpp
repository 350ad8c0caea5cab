#include "benchsupport.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

double median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

void readBenchArguments(int argc, char* argv[], const char* usage,
                        std::initializer_list<int*> values)
{
    for (int i = 1; i < argc; ++i) {
        char* end = nullptr;
        const long value = std::strtol(argv[i], &end, 10);
        if (size_t(i) > values.size() || *end || value < 1 || value > 1000000) {
            const bool help = std::strcmp(argv[i], "--help") == 0;
            std::fprintf(help ? stdout : stderr, "usage: %s\n", usage);
            std::exit(help ? 0 : 2);
        }
        *values.begin()[i - 1] = int(value);
    }
}
