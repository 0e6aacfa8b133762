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
    // The image, or the part of it that source names (empty: whole). An invalid bitmap when the
    // entry is missing or not a PNG, or when source lies outside the image; the miss is kept too.
    const wxBitmap& Get(const std::wstring& name, const RECT& source);

private:
    const wxImage& Whole(const std::wstring& name);

    std::map<std::wstring, wxImage> images_;
    std::map<std::tuple<std::wstring, int, int, int, int>, wxBitmap> bitmaps_;
};

} // namespace DuiLib::display
