// The one way the fuzz targets fail: a property that does not hold aborts with its name, so
// libFuzzer keeps the input that broke it.
#pragma once

#include <cstdio>
#include <cstdlib>

namespace larkspan {

[[noreturn]] inline void violated(const char *property)
{
    std::fprintf(stderr, "property violated: %s\n", property);
    std::abort();
}

inline void check(bool holds, const char *property)
{
    if (!holds)
        violated(property);
}

} // namespace larkspan
