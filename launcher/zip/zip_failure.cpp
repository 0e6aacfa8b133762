#include "launcher/zip/zip_failure.h"

#include "launcher/zip/zip_reader_state.h"

namespace {

constexpr uint32_t kMethodAes = 99;

std::wstring Number(uint64_t value) {
    return std::to_wstring(value);
}

std::wstring Reason(const ZipDataFacts& facts, uint32_t code) {
    switch (code) {
    case ZipErrEncrypted:
        return facts.method == kMethodAes ? L"it is AES-encrypted; packages must not be encrypted"
                                          : L"it is encrypted; packages must not be encrypted";
    case ZipErrData:
        if (!IsUnpackedMethod(facts.method))
            return L"it is compressed with " + ZipMethodText(facts.method) +
                   L", which the launcher does not unpack; pack it stored or deflated";
        return L"its data does not match its declared sizes or CRC; the package is damaged";
    case ZipErrHeader:
        return L"its local header does not agree with its central-directory record, or the "
               L"record is damaged";
    case ZipErrRead:
        return L"its local extra field runs past the end of the archive";
    case ZipErrOpen:
        return L"its name cannot be written below the package directory (a \"..\" level, an "
               L"absolute name, a control character, a symbolic link, or a file or link in "
               L"the way)";
    case ZipErrWrite:
        return L"writing its file failed (the disk may be full)";
    default:
        return L"error code 0x" + [code] {
            wchar_t text[16];
            swprintf(text, 16, L"%x", code);
            return std::wstring(text);
        }();
    }
}

} // namespace

std::wstring ZipMethodName(uint32_t method) {
    switch (method) {
    case 0:
        return L"stored";
    case 8:
        return L"deflate";
    case 9:
        return L"Deflate64";
    case 12:
        return L"bzip2";
    case 14:
        return L"LZMA";
    case 93:
        return L"Zstandard";
    case 95:
        return L"XZ";
    case 98:
        return L"PPMd";
    case kMethodAes:
        return L"AES encryption";
    default:
        return L"method " + Number(method);
    }
}

std::wstring ZipMethodText(uint32_t method) {
    const std::wstring name = ZipMethodName(method);
    return name.starts_with(L"method ") ? name : name + L" (method " + Number(method) + L")";
}

std::wstring DescribeZipFailure(ZipReader& reader, int32_t index, uint32_t code) {
    ZipEntry entry;
    if (GetZipEntry(&reader, index, &entry) != ZipOk) {
        // The record itself is what failed: only the code says why.
        return L"entry " + Number(static_cast<uint64_t>(index)) + L": " + Reason({}, code);
    }
    const ZipDataFacts& facts = reader.cachedFacts;
    return L"entry \"" + entry.name + L"\" (" + ZipMethodText(facts.method) + L", " +
           Number(facts.packedSize) + L" bytes packed, " + Number(facts.size) + L" unpacked): " +
           Reason(facts, code);
}
