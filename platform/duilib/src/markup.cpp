#include "duilib/markup.h"

#include <fstream>
#include <iterator>
#include <pugixml.hpp>

#include "system/path.h"

namespace DuiLib {

struct CMarkup::Document {
    pugi::xml_document xml;
};

namespace {

pugi::xml_node NodeOf(const void* node) {
    return pugi::xml_node(static_cast<pugi::xml_node_struct*>(const_cast<void*>(node)));
}

pugi::xml_attribute AttributeAt(pugi::xml_node node, int index) {
    if (index < 0)
        return {};
    for (pugi::xml_attribute attribute : node.attributes()) {
        if (index-- == 0)
            return attribute;
    }
    return {};
}

// pugixml's conversion is lenient: a stray invalid byte costs one character, not the value.
CStdString Wide(const char* utf8) {
    return CStdString(pugi::as_wide(utf8));
}

pugi::xml_encoding EncodingOf(int encoding) {
    switch (encoding) {
    case 0:
        return pugi::encoding_utf8;
    case 1:
        return pugi::encoding_utf16;
    default:
        return pugi::encoding_auto;
    }
}

} // namespace

// ---- CMarkupNode ----

bool CMarkupNode::IsValid() const {
    return owner_ != nullptr && node_ != nullptr;
}

CMarkupNode CMarkupNode::GetParent() const {
    if (!IsValid())
        return {};
    const pugi::xml_node parent = NodeOf(node_).parent();
    if (parent.type() != pugi::node_element)
        return {};
    return CMarkupNode(owner_, parent.internal_object());
}

CMarkupNode CMarkupNode::GetSibling() const {
    if (!IsValid())
        return {};
    const pugi::xml_node sibling = NodeOf(node_).next_sibling();
    for (pugi::xml_node next = sibling; next; next = next.next_sibling()) {
        if (next.type() == pugi::node_element)
            return CMarkupNode(owner_, next.internal_object());
    }
    return {};
}

CMarkupNode CMarkupNode::GetChild() const {
    if (!IsValid())
        return {};
    for (pugi::xml_node child : NodeOf(node_).children()) {
        if (child.type() == pugi::node_element)
            return CMarkupNode(owner_, child.internal_object());
    }
    return {};
}

CMarkupNode CMarkupNode::GetChild(LPCTSTR name) const {
    if (!IsValid() || name == nullptr)
        return {};
    const std::string utf8 = pugi::as_utf8(name);
    const pugi::xml_node child = NodeOf(node_).child(utf8.c_str());
    return child ? CMarkupNode(owner_, child.internal_object()) : CMarkupNode();
}

CStdString CMarkupNode::GetName() const {
    return IsValid() ? Wide(NodeOf(node_).name()) : CStdString();
}

CStdString CMarkupNode::GetValue() const {
    return IsValid() ? Wide(NodeOf(node_).text().get()) : CStdString();
}

bool CMarkupNode::HasAttributes() const {
    return IsValid() && NodeOf(node_).first_attribute();
}

bool CMarkupNode::HasAttribute(LPCTSTR name) const {
    if (!IsValid() || name == nullptr)
        return false;
    return NodeOf(node_).attribute(pugi::as_utf8(name).c_str());
}

int CMarkupNode::GetAttributeCount() const {
    if (!IsValid())
        return 0;
    int count = 0;
    for ([[maybe_unused]] pugi::xml_attribute attribute : NodeOf(node_).attributes())
        ++count;
    return count;
}

CStdString CMarkupNode::GetAttributeName(int index) const {
    if (!IsValid())
        return {};
    const pugi::xml_attribute attribute = AttributeAt(NodeOf(node_), index);
    return attribute ? Wide(attribute.name()) : CStdString();
}

CStdString CMarkupNode::GetAttributeValue(int index) const {
    if (!IsValid())
        return {};
    const pugi::xml_attribute attribute = AttributeAt(NodeOf(node_), index);
    return attribute ? Wide(attribute.value()) : CStdString();
}

CStdString CMarkupNode::GetAttributeValue(LPCTSTR name) const {
    if (!IsValid() || name == nullptr)
        return {};
    return Wide(NodeOf(node_).attribute(pugi::as_utf8(name).c_str()).value());
}

// ---- CMarkup ----

CMarkup::CMarkup() = default;
CMarkup::~CMarkup() = default;

bool CMarkup::Load(LPCTSTR xml) {
    const std::string utf8 = pugi::as_utf8(xml ? xml : L"");
    return LoadFromMem(utf8.data(), utf8.size(), 0);
}

bool CMarkup::LoadFromMem(const char* data, size_t size, int encoding) {
    // Nodes of an earlier document die with it; a failed load must not look like success.
    Release();
    auto document = std::make_unique<Document>();
    const pugi::xml_parse_result result =
        document->xml.load_buffer(data, size, pugi::parse_default, EncodingOf(encoding));
    if (!result) {
        lastError_ = std::string(result.description()) + " at offset " +
                     std::to_string(static_cast<long long>(result.offset));
        return false;
    }
    document_ = std::move(document);
    return true;
}

bool CMarkup::LoadFromFile(LPCTSTR fileName, int encoding, LPCTSTR directory) {
    Release();
    if (fileName == nullptr) {
        lastError_ = "no file name";
        return false;
    }
    // Callers pass the program directory with or without its final separator.
    std::wstring full = directory != nullptr ? directory : L"";
    if (!full.empty() && full.back() != L'/')
        full += L'/';
    full += fileName;
    const std::optional<std::filesystem::path> path = platform::ToPath(full);
    if (!path) {
        lastError_ = "file name cannot be converted";
        return false;
    }
    std::ifstream in(*path, std::ios::binary);
    if (!in) {
        lastError_ = "cannot open " + path->string();
        return false;
    }
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) {
        lastError_ = "cannot read " + path->string();
        return false;
    }
    return LoadFromMem(bytes.data(), bytes.size(), encoding);
}

void CMarkup::Release() {
    document_.reset();
    lastError_.clear();
}

bool CMarkup::IsValid() const {
    return document_ != nullptr;
}

CMarkupNode CMarkup::GetRoot() const {
    if (!document_)
        return {};
    const pugi::xml_node root = document_->xml.document_element();
    return root ? CMarkupNode(this, root.internal_object()) : CMarkupNode();
}

CStdString CMarkup::GetLastErrorMessage() const {
    return Wide(lastError_.c_str());
}

} // namespace DuiLib
