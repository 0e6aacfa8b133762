#pragma once
// The X server's screen read back as pixels, for tests that look at what is shown.
#include <cstdint>
#include <cstdlib>
#include <string>

#include <gtest/gtest.h>
#include <wx/image.h>

#include "tests/platform/duilib/display/x_session.h"

namespace display_test {

// The whole screen, saved to file on the way; not IsOk() when it could not be taken.
inline wxImage Screenshot(const std::string& file) {
    wxImage image;
    if (RunTool({"import", "-window", "root", file}).exitCode == 0)
        image.LoadFile(file, wxBITMAP_TYPE_PNG);
    return image;
}

inline uint32_t RgbAt(const wxImage& image, int x, int y) {
    return uint32_t{image.GetRed(x, y)} << 16 | uint32_t{image.GetGreen(x, y)} << 8 |
           image.GetBlue(x, y);
}

// Each colour channel of got within tolerance of want's; alpha is ignored.
inline testing::AssertionResult Near(uint32_t got, uint32_t want, int tolerance) {
    for (int shift : {16, 8, 0})
        if (std::abs(static_cast<int>((got >> shift) & 0xFF) -
                     static_cast<int>((want >> shift) & 0xFF)) > tolerance)
            return testing::AssertionFailure()
                   << std::hex << got << " is not " << (want & 0xFFFFFF);
    return testing::AssertionSuccess();
}

} // namespace display_test
