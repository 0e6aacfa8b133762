#pragma once
// A property a fuzz target asserts: a violation aborts, so libFuzzer reports it and keeps the
// input as the reproducer.
#include <cstdlib>

namespace fuzzing {

inline void Check(bool condition) {
    if (!condition)
        std::abort();
}

} // namespace fuzzing
