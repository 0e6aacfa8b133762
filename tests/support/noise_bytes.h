#pragma once
// Bytes that do not compress, the same for the same seed: files whose transfer or install takes
// long enough to be cut.
#include <cstddef>
#include <random>
#include <string>

namespace testing_support {

inline std::string NoiseBytes(std::size_t size, unsigned seed) {
    std::mt19937 generator(seed);
    std::string bytes(size, '\0');
    for (char& byte : bytes)
        byte = static_cast<char>(generator());
    return bytes;
}

} // namespace testing_support
