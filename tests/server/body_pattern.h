#pragma once
// The bytes the test server generates for bodies that no file holds: byte i of a body is
// 'a' + i % 26, so a test can tell which part of a body it received.
#include <cstddef>
#include <cstdint>
#include <string>

namespace test_server {

inline std::string PatternBytes(std::uint64_t offset, std::size_t count) {
    std::string bytes(count, '\0');
    for (std::size_t i = 0; i < count; ++i)
        bytes[i] = static_cast<char>('a' + (offset + i) % 26);
    return bytes;
}

} // namespace test_server
