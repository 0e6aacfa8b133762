#include "image_cache.h"

#include <wx/image.h>
#include <wx/log.h>
#include <wx/mstream.h>

#include "duilib/paint_manager.h"

namespace DuiLib::display {

namespace {

bool IsEmpty(const RECT& rect) {
    return rect.right <= rect.left || rect.bottom <= rect.top;
}

wxImage Decode(const std::string& bytes) {
    if (bytes.empty())
        return wxImage();
    wxMemoryInputStream stream(bytes.data(), bytes.size());
    wxImage image;
    // A damaged file gives no image; wx's own message about it goes nowhere.
    wxLogNull quiet;
    if (!image.LoadFile(stream, wxBITMAP_TYPE_PNG))
        return wxImage();
    return image;
}

} // namespace

const wxImage& ImageCache::Whole(const std::wstring& name) {
    const auto found = images_.find(name);
    if (found != images_.end())
        return found->second;
    std::string bytes;
    if (!CPaintManagerUI::LoadSkinResource(name, bytes))
        bytes.clear();
    return images_.emplace(name, Decode(bytes)).first->second;
}

const wxBitmap& ImageCache::Get(const std::wstring& name, const RECT& source) {
    const auto key = std::make_tuple(name, source.left, source.top, source.right, source.bottom);
    const auto found = bitmaps_.find(key);
    if (found != bitmaps_.end())
        return found->second;
    const wxImage& image = Whole(name);
    wxBitmap bitmap;
    if (image.IsOk()) {
        if (IsEmpty(source)) {
            bitmap = wxBitmap(image);
        } else {
            const wxRect part(source.left, source.top, source.right - source.left,
                              source.bottom - source.top);
            if (wxRect(image.GetSize()).Contains(part))
                bitmap = wxBitmap(image.GetSubImage(part));
        }
    }
    return bitmaps_.emplace(key, bitmap).first->second;
}

} // namespace DuiLib::display
