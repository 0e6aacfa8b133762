#include "launcher/zip/zip_attributes.h"

#include <algorithm>
#include <sys/stat.h>

namespace {

bool IsDosLikeHost(uint16_t versionMadeBy) {
    const unsigned host = versionMadeBy >> 8;
    return host == 0 || host == 7 || host == 11 || host == 14;
}

bool IsLeapYear(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int year, int month) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

uint16_t ReadU16(const unsigned char* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

int32_t ReadI32(const unsigned char* p) {
    const uint32_t value = static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
                           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
    return static_cast<int32_t>(value);
}

ZipFileTime UnixSecondsToFileTime(int64_t seconds) {
    return static_cast<ZipFileTime>(seconds * static_cast<int64_t>(ZipFileTimeTicksPerSecond) +
                                    static_cast<int64_t>(ZipFileTimeUnixEpoch));
}

} // namespace

uint32_t ZipWindowsAttributes(uint32_t a, uint16_t versionMadeBy) {
    bool directory = (a & (1u << 30)) != 0;
    bool readOnly = (a & (1u << 23)) == 0; // the owner's write bit of the Unix mode
    bool hidden = false;
    bool system = false;
    bool archive = true;
    if (IsDosLikeHost(versionMadeBy)) {
        readOnly = (a & 0x1) != 0;
        hidden = (a & 0x2) != 0;
        system = (a & 0x4) != 0;
        directory = (a & 0x10) != 0;
        archive = (a & 0x20) != 0;
    }
    return (directory ? ZipAttrDirectory : 0) | (archive ? ZipAttrArchive : 0) |
           (hidden ? ZipAttrHidden : 0) | (readOnly ? ZipAttrReadOnly : 0) |
           (system ? ZipAttrSystem : 0);
}

uint32_t ZipUnixMode(uint32_t externalAttributes, uint16_t versionMadeBy) {
    return IsDosLikeHost(versionMadeBy) ? 0 : externalAttributes >> 16;
}

mode_t ZipFileMode(const ZipEntry& entry) {
    mode_t mode = 0666;
    if (entry.unixMode != 0)
        mode = (entry.unixMode & 0777) | S_IRUSR; // a file we cannot read back is of no use
    if (entry.attributes & ZipAttrReadOnly)
        mode &= ~static_cast<mode_t>(0222);
    return mode;
}

ZipFileTime DosTimeToFileTime(uint32_t dosDateTime) {
    const unsigned date = dosDateTime >> 16;
    const unsigned time = dosDateTime & 0xFFFF;
    const int year = static_cast<int>(date >> 9) + 1980;
    const int month = static_cast<int>((date >> 5) & 15);
    const int day = static_cast<int>(date & 31);
    const int hour = static_cast<int>(time >> 11);
    const int minute = static_cast<int>((time >> 5) & 63);
    const int second = static_cast<int>(time & 31) * 2;
    if (month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month) || hour > 23 ||
        minute > 59 || second > 59)
        return 0;

    std::tm fields{};
    fields.tm_year = year - 1900;
    fields.tm_mon = month - 1;
    fields.tm_mday = day;
    fields.tm_hour = hour;
    fields.tm_min = minute;
    fields.tm_sec = second;
    // The fields read as UTC, less the zone's offset at that moment. mktime would do the same
    // but looks at the time zone file again on every call.
    const time_t asUtc = timegm(&fields);
    std::tm local{};
    if (asUtc == static_cast<time_t>(-1) || localtime_r(&asUtc, &local) == nullptr)
        return 0;
    time_t utc = asUtc - local.tm_gmtoff;
    // Near a daylight-saving change the offset at the result may differ from the first guess.
    if (localtime_r(&utc, &local) != nullptr)
        utc = asUtc - local.tm_gmtoff;
    return UnixSecondsToFileTime(utc);
}

void ApplyExtendedTimestamp(std::span<const unsigned char> field, ZipEntry& entry) {
    const size_t size = field.size();
    for (size_t pos = 0; pos + 4 < size;) {
        const unsigned char* block = field.data() + pos;
        const size_t dataSize = ReadU16(block + 2);
        if (block[0] == 'U' && block[1] == 'T') {
            // Times the flags announce but the block or the field does not hold are left alone.
            const size_t end = std::min(size, pos + 4 + dataSize);
            const unsigned flags = block[4];
            size_t at = pos + 5;
            ZipFileTime* const targets[] = {&entry.writeTime, &entry.accessTime,
                                            &entry.creationTime};
            for (unsigned bit = 0; bit < 3; ++bit) {
                if (!(flags & (1u << bit)))
                    continue;
                if (at + 4 > end)
                    break;
                *targets[bit] = UnixSecondsToFileTime(ReadI32(field.data() + at));
                at += 4;
            }
            return;
        }
        pos += 4 + dataSize;
    }
}

timespec FileTimeToTimespec(ZipFileTime time) {
    timespec result{};
    if (time == 0) {
        result.tv_nsec = UTIME_OMIT;
        return result;
    }
    const int64_t ticks = static_cast<int64_t>(time - ZipFileTimeUnixEpoch);
    const int64_t perSecond = static_cast<int64_t>(ZipFileTimeTicksPerSecond);
    int64_t seconds = ticks / perSecond;
    int64_t rest = ticks % perSecond;
    if (rest < 0) {
        rest += perSecond;
        --seconds;
    }
    result.tv_sec = static_cast<time_t>(seconds);
    result.tv_nsec = static_cast<long>(rest * 100);
    return result;
}
