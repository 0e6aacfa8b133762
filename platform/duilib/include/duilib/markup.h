#pragma once
// A small XML reader: element names, attributes in document order and their values. Reading a
// document takes time linear in its size, and so does visiting every attribute of it by index.
// A markup and its nodes are used on one thread at a time.
#include <cstdint>
#include <memory>
#include <string>

#include "duilib/std_string.h"

namespace DuiLib {

class CMarkup;

class CMarkupNode {
public:
    CMarkupNode() = default;
    bool IsValid() const;
    CMarkupNode GetParent() const;
    CMarkupNode GetSibling() const; // the next element sibling
    CMarkupNode GetChild() const;   // the first element child
    CMarkupNode GetChild(LPCTSTR name) const;
    CStdString GetName() const;
    CStdString GetValue() const; // the element's text
    bool HasAttributes() const;
    bool HasAttribute(LPCTSTR name) const;
    // By index in document order, each in constant time; "" for an index out of range.
    int GetAttributeCount() const;
    CStdString GetAttributeName(int index) const;
    CStdString GetAttributeValue(int index) const;
    CStdString GetAttributeValue(LPCTSTR name) const; // "" when absent

private:
    friend class CMarkup;
    CMarkupNode(const CMarkup* owner, const void* node) : owner_(owner), node_(node) {}
    const CMarkup* owner_ = nullptr;
    const void* node_ = nullptr;
};

class CMarkup {
public:
    // The largest file LoadFromFile reads; the server list is the largest XML file we read.
    static constexpr uint64_t kMaxFileSize = 16u * 1024 * 1024;

    CMarkup();
    ~CMarkup();
    CMarkup(const CMarkup&) = delete;
    CMarkup& operator=(const CMarkup&) = delete;

    // encoding 0 = UTF-8, 1 = UTF-16, others: detected. False when the text is not well-formed
    // XML or has no root element. A failed load leaves the markup empty.
    bool Load(LPCTSTR xml);
    bool LoadFromMem(const char* data, size_t size, int encoding = 0);
    // Reads directory + fileName from disk (directory may be null: fileName as given).
    // False when the file is missing or malformed, not a regular file, or larger than
    // kMaxFileSize.
    bool LoadFromFile(LPCTSTR fileName, int encoding = 0, LPCTSTR directory = nullptr);
    void Release();
    bool IsValid() const;
    CMarkupNode GetRoot() const;
    CStdString GetLastErrorMessage() const;

private:
    friend class CMarkupNode;
    struct Document;
    std::unique_ptr<Document> document_;
    std::string lastError_;
};

} // namespace DuiLib
