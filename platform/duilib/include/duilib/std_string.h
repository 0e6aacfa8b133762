#pragma once
// Wide string of the UI library. Comparison is by code point, which orders every character the
// launcher meets as UTF-16 code units would.
#include <string>

#include "duilib/types.h"

namespace DuiLib {

class CStdString {
public:
    CStdString() = default;
    CStdString(LPCTSTR text) : str_(text ? text : L"") {}
    CStdString(std::wstring text) : str_(std::move(text)) {}

    LPCTSTR GetData() const { return str_.c_str(); }
    operator LPCTSTR() const { return str_.c_str(); }
    const std::wstring& str() const { return str_; }
    int GetLength() const { return static_cast<int>(str_.size()); }
    bool IsEmpty() const { return str_.empty(); }
    void Empty() { str_.clear(); }

    int Compare(LPCTSTR other) const { return str_.compare(other ? other : L""); }
    bool operator==(const CStdString& other) const { return str_ == other.str_; }
    bool operator==(LPCTSTR other) const { return str_ == (other ? other : L""); }
    bool operator!=(const CStdString& other) const { return !(*this == other); }
    bool operator!=(LPCTSTR other) const { return !(*this == other); }
    bool operator<(const CStdString& other) const { return str_ < other.str_; }

    CStdString& operator+=(const CStdString& other) {
        str_ += other.str_;
        return *this;
    }
    CStdString& operator+=(LPCTSTR other) {
        str_ += (other ? other : L"");
        return *this;
    }
    friend CStdString operator+(const CStdString& a, const CStdString& b) {
        return CStdString(a.str_ + b.str_);
    }
    friend CStdString operator+(const CStdString& a, LPCTSTR b) {
        return CStdString(a.str_ + (b ? b : L""));
    }

private:
    std::wstring str_;
};

} // namespace DuiLib
