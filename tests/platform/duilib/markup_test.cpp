// The markup reader: what skins and ServerList.xml rely on.
#include <gtest/gtest.h>

#include "duilib/markup.h"
#include "tests/support/temp_dir.h"

namespace {

using DuiLib::CMarkup;
using DuiLib::CMarkupNode;
using testing_support::TempDir;
using testing_support::WriteFile;

std::vector<std::pair<std::wstring, std::wstring>> AttributesOf(const CMarkupNode& node) {
    std::vector<std::pair<std::wstring, std::wstring>> attributes;
    for (int i = 0; i < node.GetAttributeCount(); ++i)
        attributes.emplace_back(node.GetAttributeName(i).str(), node.GetAttributeValue(i).str());
    return attributes;
}

TEST(MarkupTest, AttributesComeInDocumentOrderAndRepeatedOnesAreKept) {
    CMarkup markup;
    ASSERT_TRUE(markup.Load(L"<Area name='b' id='2' name='a' extra=''/>"));
    const CMarkupNode root = markup.GetRoot();
    ASSERT_TRUE(root.HasAttributes());
    const std::vector<std::pair<std::wstring, std::wstring>> expected{
        {L"name", L"b"}, {L"id", L"2"}, {L"name", L"a"}, {L"extra", L""}};
    EXPECT_EQ(AttributesOf(root), expected);
    // By name the first one answers; an absent one is "" and out-of-range indexes are empty.
    EXPECT_EQ(root.GetAttributeValue(L"name").str(), L"b");
    EXPECT_TRUE(root.HasAttribute(L"extra"));
    EXPECT_FALSE(root.HasAttribute(L"missing"));
    EXPECT_EQ(root.GetAttributeValue(L"missing").str(), L"");
    EXPECT_EQ(root.GetAttributeName(4).str(), L"");
    EXPECT_EQ(root.GetAttributeValue(-1).str(), L"");
}

TEST(MarkupTest, WalksElementsOnlyAndDecodesUtf8) {
    // Comments and text between elements are not nodes of the walk.
    const std::string xml =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<ServerList><!-- c --><Area name=\"\xE7\x94\xB5\xE4\xBF\xA1\">text"
        "<Server address=\"1.2.3.4\"/></Area> <Area name=\"two\"/></ServerList>";
    CMarkup markup;
    ASSERT_TRUE(markup.LoadFromMem(xml.data(), xml.size(), 0));
    const CMarkupNode root = markup.GetRoot();
    EXPECT_EQ(root.GetName().str(), L"ServerList");
    const CMarkupNode first = root.GetChild();
    ASSERT_TRUE(first.IsValid());
    EXPECT_EQ(first.GetAttributeValue(L"name").str(), L"\u7535\u4FE1");
    EXPECT_EQ(first.GetValue().str(), L"text");
    EXPECT_EQ(first.GetChild().GetAttributeValue(L"address").str(), L"1.2.3.4");
    EXPECT_EQ(first.GetChild().GetParent().GetName().str(), L"Area");
    const CMarkupNode second = first.GetSibling();
    EXPECT_EQ(second.GetAttributeValue(L"name").str(), L"two");
    EXPECT_FALSE(second.GetSibling().IsValid());
    EXPECT_FALSE(second.GetChild().IsValid());
    EXPECT_FALSE(root.GetParent().IsValid());
    EXPECT_EQ(root.GetChild(L"Area").GetAttributeValue(L"name").str(), L"\u7535\u4FE1");
    EXPECT_FALSE(root.GetChild(L"Nothing").IsValid());
}

TEST(MarkupTest, ByteOrderMarkIsSkipped) {
    const std::string xml = "\xEF\xBB\xBF<Window size=\"1,2\"/>";
    CMarkup markup;
    ASSERT_TRUE(markup.LoadFromMem(xml.data(), xml.size(), 0));
    EXPECT_EQ(markup.GetRoot().GetName().str(), L"Window");
}

TEST(MarkupTest, MalformedTextFailsAndLeavesNothingBehind) {
    CMarkup markup;
    ASSERT_TRUE(markup.Load(L"<a/>"));
    for (const wchar_t* broken : {L"<a><b></a>", L"", L"just text", L"<a x='1' <b/>"}) {
        EXPECT_FALSE(markup.Load(broken)) << broken;
        EXPECT_FALSE(markup.IsValid());
        EXPECT_FALSE(markup.GetRoot().IsValid());
        EXPECT_FALSE(markup.GetLastErrorMessage().IsEmpty());
    }
}

TEST(MarkupTest, LoadsFromFileInDirectory) {
    TempDir dir;
    WriteFile(dir / "ServerList.xml", "<ServerList><Area name='a'/></ServerList>");
    WriteFile(dir / "broken.xml", "<ServerList><Area></ServerList>");

    CMarkup markup;
    // With or without the separator at the end of the directory.
    EXPECT_TRUE(markup.LoadFromFile(L"ServerList.xml", 0, dir.wide().c_str()));
    EXPECT_EQ(markup.GetRoot().GetChild().GetAttributeValue(L"name").str(), L"a");
    std::wstring bare = dir.wide();
    bare.pop_back();
    EXPECT_TRUE(markup.LoadFromFile(L"ServerList.xml", 0, bare.c_str()));
    // No directory: the name is the path.
    EXPECT_TRUE(markup.LoadFromFile((dir.wide() + L"ServerList.xml").c_str()));

    EXPECT_FALSE(markup.LoadFromFile(L"missing.xml", 0, dir.wide().c_str()));
    EXPECT_FALSE(markup.IsValid());
    EXPECT_FALSE(markup.LoadFromFile(L"broken.xml", 0, dir.wide().c_str()));
    EXPECT_FALSE(markup.LoadFromFile(nullptr));
}

} // namespace
