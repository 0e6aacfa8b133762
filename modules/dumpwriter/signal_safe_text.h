#pragma once
// Text building for fatal-signal handlers, used by the dump writer and the launcher's crash
// filter: a caller-owned buffer, no allocation, no locale, no stdio, nothing that takes a lock.
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <unistd.h>

namespace signal_safe {

// Appends to a fixed buffer and keeps it NUL-terminated; what does not fit is dropped and
// remembered, so a caller can refuse a cut-off path instead of opening a wrong name.
class Text {
public:
    Text(char* buffer, std::size_t capacity) : data_(buffer), capacity_(capacity) {
        if (capacity_ > 0)
            data_[0] = '\0';
    }

    const char* c_str() const { return data_; }
    std::size_t size() const { return size_; }
    bool truncated() const { return truncated_; }

    Text& Append(const char* text) {
        for (; text != nullptr && *text != '\0'; ++text)
            Put(*text);
        return *this;
    }

    Text& Append(const char* text, std::size_t length) {
        for (std::size_t i = 0; i < length; ++i)
            Put(text[i]);
        return *this;
    }

    Text& AppendDecimal(std::int64_t value) {
        // Negate through the unsigned type so the most negative value does not overflow.
        std::uint64_t magnitude = static_cast<std::uint64_t>(value);
        if (value < 0) {
            Put('-');
            magnitude = 0 - magnitude;
        }
        return AppendDigits(magnitude, 10, 1);
    }

    // "0x" and at least `width` hexadecimal digits.
    Text& AppendHex(std::uintptr_t value, int width) {
        Append("0x");
        return AppendDigits(value, 16, width);
    }

    Text& AppendPadded(std::uint64_t value, int width) { return AppendDigits(value, 10, width); }

    // UTC calendar time: "2024-04-05 12:34:38" (compact: "20240405-123438"). gmtime_r is not
    // on the async-signal-safe list, so the civil date is computed here.
    Text& AppendUtc(std::int64_t seconds, bool compact) {
        std::int64_t days = seconds / 86400;
        std::int64_t rest = seconds % 86400;
        if (rest < 0) {
            rest += 86400;
            --days;
        }
        int year = 0, month = 0, day = 0;
        CivilFromDays(days, year, month, day);
        AppendDecimal(year);
        if (!compact)
            Put('-');
        AppendPadded(static_cast<std::uint64_t>(month), 2);
        if (!compact)
            Put('-');
        AppendPadded(static_cast<std::uint64_t>(day), 2);
        Put(compact ? '-' : ' ');
        AppendPadded(static_cast<std::uint64_t>(rest / 3600), 2);
        if (!compact)
            Put(':');
        AppendPadded(static_cast<std::uint64_t>(rest / 60 % 60), 2);
        if (!compact)
            Put(':');
        return AppendPadded(static_cast<std::uint64_t>(rest % 60), 2);
    }

private:
    void Put(char c) {
        if (size_ + 1 < capacity_) {
            data_[size_++] = c;
            data_[size_] = '\0';
        } else {
            truncated_ = true;
        }
    }

    Text& AppendDigits(std::uint64_t value, unsigned base, int width) {
        char digits[32];
        int count = 0;
        do {
            digits[count++] = "0123456789abcdef"[value % base];
            value /= base;
        } while (value != 0 && count < 32);
        for (int pad = count; pad < width; ++pad)
            Put('0');
        while (count > 0)
            Put(digits[--count]);
        return *this;
    }

    // Days since 1970-01-01 to the proleptic Gregorian date (the well-known era algorithm).
    static void CivilFromDays(std::int64_t days, int& year, int& month, int& day) {
        days += 719468;
        const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
        const std::int64_t dayOfEra = days - era * 146097;
        const std::int64_t yearOfEra =
            (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
        const std::int64_t dayOfYear =
            dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
        const std::int64_t monthIndex = (5 * dayOfYear + 2) / 153;
        day = static_cast<int>(dayOfYear - (153 * monthIndex + 2) / 5 + 1);
        month = static_cast<int>(monthIndex < 10 ? monthIndex + 3 : monthIndex - 9);
        year = static_cast<int>(yearOfEra + era * 400 + (month <= 2 ? 1 : 0));
    }

    char* data_;
    std::size_t capacity_;
    std::size_t size_ = 0;
    bool truncated_ = false;
};

// write(2) until everything is out; false with errno set on the first real failure.
inline bool WriteAll(int file, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t written = write(file, data, size);
        if (written < 0 && errno == EINTR)
            continue;
        if (written < 0)
            return false;
        if (written == 0) {
            errno = EIO;
            return false;
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

inline bool WriteAll(int file, const Text& text) {
    return WriteAll(file, text.c_str(), text.size());
}

} // namespace signal_safe
