#pragma once
// Skin images decoded once: PNG entries of the skin archive as bitmaps, also the parts of them
// that skins cut out. UI thread only.
#include <map>
#include <string>
#include <tuple>

#include <wx/bitmap.h>

#include "duilib/types.h"

namespace DuiLib::display {

class ImageCache {
public:
    // The image, or the part of it that source names (empty: whole), scaled to size. An invalid
    // bitmap when the entry is missing, not a PNG or larger than 4096 x 4096 pixels, when source
    // lies outside the image, or when size is empty or larger than that; the miss is kept too.
    // Scaling here rather than while drawing keeps the edges from fading into the background.
    const wxBitmap& Get(const std::wstring& name, const RECT& source, wxSize size);

private:
    const wxImage& Whole(const std::wstring& name);

    std::map<std::wstring, wxImage> images_;
    std::map<std::tuple<std::wstring, int, int, int, int, int, int>, wxBitmap> bitmaps_;
};

} // namespace DuiLib::display
