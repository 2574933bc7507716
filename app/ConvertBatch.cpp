#include "app/ConvertBatch.h"

#include "document/LogConvert.h"

#include <cstdio>
#include <ctime>

int runConvert(const char* in, const char* out) {
    const ConvertResult result = convertFile(in, out, std::time(nullptr));
    if (!result.ok) {
        std::fprintf(stderr, "Korvane: %s\n", result.error.c_str());
        return 1;
    }
    if (!result.warning.empty()) {
        std::fprintf(stderr, "Korvane: %s: %s\n", in, result.warning.c_str());
    }
    return 0;
}
