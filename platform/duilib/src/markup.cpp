#include "duilib/markup.h"

#include <pugixml.hpp>
#include <unordered_map>
#include <vector>

#include "system/path.h"
#include "system/regular_file.h"

namespace DuiLib {

// pugixml keeps an element's attributes in a list; to reach one by index without walking from
// the first, each element's attributes are laid out once in an array after parsing.
struct CMarkup::Document {
    struct Run {
        size_t first = 0;
        size_t count = 0;
    };

    pugi::xml_document xml;
    std::vector<pugi::xml_attribute_struct*> attributes;
    std::unordered_map<const void*, Run> runs; // only elements that have attributes

    // Document order, without recursion: a deeply nested document must not exhaust the stack.
    void IndexAttributes() {
        pugi::xml_node node = xml.first_child();
        while (node) {
            if (node.type() == pugi::node_element && node.first_attribute()) {
                const size_t first = attributes.size();
                for (pugi::xml_attribute attribute : node.attributes())
                    attributes.push_back(attribute.internal_object());
                runs.emplace(node.internal_object(), Run{first, attributes.size() - first});
            }
            if (node.first_child()) {
                node = node.first_child();
                continue;
            }
            while (node && !node.next_sibling())
                node = node.parent();
            if (node)
                node = node.next_sibling();
        }
    }

    size_t AttributeCount(const void* node) const {
        const auto run = runs.find(node);
        return run == runs.end() ? 0 : run->second.count;
    }

    pugi::xml_attribute Attribute(const void* node, int index) const {
        const auto run = runs.find(node);
        if (index < 0 || run == runs.end() || static_cast<size_t>(index) >= run->second.count)
            return {};
        return pugi::xml_attribute(attributes[run->second.first + static_cast<size_t>(index)]);
    }
};

namespace {

pugi::xml_node NodeOf(const void* node) {
    return pugi::xml_node(static_cast<pugi::xml_node_struct*>(const_cast<void*>(node)));
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
    if (!IsValid() || !owner_->document_)
        return 0;
    return static_cast<int>(owner_->document_->AttributeCount(node_));
}

CStdString CMarkupNode::GetAttributeName(int index) const {
    if (!IsValid() || !owner_->document_)
        return {};
    const pugi::xml_attribute attribute = owner_->document_->Attribute(node_, index);
    return attribute ? Wide(attribute.name()) : CStdString();
}

CStdString CMarkupNode::GetAttributeValue(int index) const {
    if (!IsValid() || !owner_->document_)
        return {};
    const pugi::xml_attribute attribute = owner_->document_->Attribute(node_, index);
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
    document->IndexAttributes();
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
    const platform::FileBytes file = platform::OpenRegularForRead(*path, kMaxFileSize);
    if (!file.ok()) {
        lastError_ = path->string() + ": " + platform::DescribeFileProblem(file.problem);
        return false;
    }
    return LoadFromMem(file.bytes.data(), file.bytes.size(), encoding);
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
