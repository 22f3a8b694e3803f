#pragma once

#include <cstdio>
#include <cstdlib>

// An invariant of a fuzz target: when it fails, the line says which one, and libFuzzer keeps the
// input that broke it.
inline void check(bool condition, const char *file = __builtin_FILE(), int line = __builtin_LINE())
{
    if (condition)
        return;
    std::fprintf(stderr, "invariant broken at %s:%d\n", file, line);
    std::abort();
}
