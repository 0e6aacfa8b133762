#include "image_cache.h"

#include <cstdint>

#include <wx/image.h>
#include <wx/log.h>
#include <wx/mstream.h>

#include "duilib/paint_manager.h"

namespace DuiLib::display {

namespace {

// Skin images are window-sized at most; a header claiming more is refused before decoding.
constexpr uint64_t kMaxPixels = 4096ull * 4096ull;

uint32_t BigEndian32(const std::string& bytes, size_t at) {
    uint32_t value = 0;
    for (size_t i = 0; i < 4; ++i)
        value = (value << 8) | static_cast<unsigned char>(bytes[at + i]);
    return value;
}

// The signature, then the IHDR chunk: length, type, width, height.
bool SizeAcceptable(const std::string& bytes) {
    if (bytes.size() < 24 || bytes.compare(12, 4, "IHDR") != 0)
        return false;
    return uint64_t{BigEndian32(bytes, 16)} * BigEndian32(bytes, 20) <= kMaxPixels;
}

bool IsEmpty(const RECT& rect) {
    return rect.right <= rect.left || rect.bottom <= rect.top;
}

wxImage Decode(const std::string& bytes) {
    if (!SizeAcceptable(bytes))
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

const wxBitmap& ImageCache::Get(const std::wstring& name, const RECT& source, wxSize size) {
    const auto key =
        std::make_tuple(name, source.left, source.top, source.right, source.bottom, size.x, size.y);
    const auto found = bitmaps_.find(key);
    if (found != bitmaps_.end())
        return found->second;
    const wxImage& image = Whole(name);
    wxImage part;
    if (image.IsOk()) {
        const wxRect wanted = IsEmpty(source)
                                  ? wxRect(image.GetSize())
                                  : wxRect(source.left, source.top, source.right - source.left,
                                           source.bottom - source.top);
        if (wxRect(image.GetSize()).Contains(wanted))
            part = wanted == wxRect(image.GetSize()) ? image : image.GetSubImage(wanted);
    }
    const bool sizeOk =
        size.x > 0 && size.y > 0 &&
        uint64_t{static_cast<uint32_t>(size.x)} * static_cast<uint32_t>(size.y) <= kMaxPixels;
    wxBitmap bitmap;
    if (part.IsOk() && sizeOk)
        bitmap = wxBitmap(
            part.GetSize() == size ? part : part.Scale(size.x, size.y, wxIMAGE_QUALITY_BILINEAR));
    return bitmaps_.emplace(key, bitmap).first->second;
}

} // namespace DuiLib::display
