// The XML reader: attributes by index on elements of any size, and files read from disk only
// when they are regular files of a sane size.
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>

#include "duilib/markup.h"
#include "tests/support/temp_dir.h"

namespace {

using namespace DuiLib;
using testing_support::TempDir;
using testing_support::WriteFile;

// An element with count attributes a0="v0" a1="v1" ..., holding one child with one attribute.
std::string ElementWithAttributes(int count) {
    std::string xml = "<big";
    for (int i = 0; i < count; ++i)
        xml += " a" + std::to_string(i) + "=\"v" + std::to_string(i) + "\"";
    xml += "><small only=\"one\"/></big>";
    return xml;
}

// Read from the last attribute to the first: a reader that finds each one by walking from the
// first needs billions of steps here and never ends within the test's time.
TEST(MarkupTest, AttributesByIndexOnAnElementWithTwoHundredThousandOfThem) {
    constexpr int kCount = 200000;
    const std::string xml = ElementWithAttributes(kCount);
    CMarkup markup;
    ASSERT_TRUE(markup.LoadFromMem(xml.data(), xml.size()));
    const CMarkupNode big = markup.GetRoot();
    ASSERT_EQ(big.GetAttributeCount(), kCount);
    for (int i = kCount - 1; i >= 0; --i) {
        ASSERT_EQ(big.GetAttributeName(i).str(), L"a" + std::to_wstring(i));
        ASSERT_EQ(big.GetAttributeValue(i).str(), L"v" + std::to_wstring(i));
    }
    for (int i = 0; i < kCount; i += 7919)
        ASSERT_EQ(big.GetAttributeValue(i).str(), L"v" + std::to_wstring(i));
    EXPECT_EQ(big.GetAttributeName(-1).str(), L"");
    EXPECT_EQ(big.GetAttributeValue(kCount).str(), L"");
    EXPECT_EQ(big.GetAttributeValue(L"a199999").str(), L"v199999");

    const CMarkupNode small = big.GetChild();
    EXPECT_EQ(small.GetAttributeCount(), 1);
    EXPECT_EQ(small.GetAttributeName(0).str(), L"only");
    EXPECT_EQ(small.GetAttributeValue(1).str(), L"");
    EXPECT_FALSE(small.GetChild().HasAttributes());
    EXPECT_EQ(CMarkupNode().GetAttributeCount(), 0);
}

TEST(MarkupTest, ANewDocumentBringsItsOwnAttributes) {
    CMarkup markup;
    ASSERT_TRUE(markup.Load(L"<a x=\"1\" y=\"2\"/>"));
    EXPECT_EQ(markup.GetRoot().GetAttributeCount(), 2);
    ASSERT_TRUE(markup.Load(L"<b z=\"3\"/>"));
    EXPECT_EQ(markup.GetRoot().GetAttributeCount(), 1);
    EXPECT_EQ(markup.GetRoot().GetAttributeName(0).str(), L"z");
    EXPECT_FALSE(markup.Load(L"<broken"));
    EXPECT_FALSE(markup.GetRoot().IsValid());
}

class MarkupFileTest : public ::testing::Test {
protected:
    bool Load(const std::string& name) {
        const std::wstring wide(name.begin(), name.end());
        return markup.LoadFromFile(wide.c_str(), 0, dir.wide().c_str());
    }
    TempDir dir;
    CMarkup markup;
};

// A FIFO would block the open, /dev/zero would never end; the largest file read this way is the
// server list: 16 MiB.
TEST_F(MarkupFileTest, ReadsOnlyRegularFilesUpToTheCap) {
    constexpr size_t kCap = 16u * 1024 * 1024;
    const std::string open = "<a>";
    const std::string close = "</a>";
    WriteFile(dir / "fits.xml", open + std::string(kCap - open.size() - close.size(), ' ') + close);
    WriteFile(dir / "large.xml",
              open + std::string(kCap + 1 - open.size() - close.size(), ' ') + close);
    ASSERT_EQ(mkfifo((dir / "fifo.xml").c_str(), 0600), 0);
    std::filesystem::create_symlink("/dev/zero", dir / "zero.xml");
    std::filesystem::create_directory(dir / "folder.xml");
    EXPECT_TRUE(Load("fits.xml"));
    // Each refusal also drops what the last load read.
    for (const char* name : {"large.xml", "fifo.xml", "zero.xml", "folder.xml", "missing.xml"}) {
        EXPECT_FALSE(Load(name)) << name;
        EXPECT_FALSE(markup.IsValid()) << name;
        ASSERT_TRUE(Load("fits.xml"));
    }

    WriteFile(dir / "list.xml", "<tavi><area name=\"A\"/></tavi>");
    ASSERT_TRUE(Load("list.xml"));
    EXPECT_EQ(markup.GetRoot().GetChild().GetAttributeValue(L"name").str(), L"A");
    // The directory may come without its final separator.
    std::wstring bare = dir.wide();
    bare.pop_back();
    EXPECT_TRUE(markup.LoadFromFile(L"list.xml", 0, bare.c_str()));
}

} // namespace
