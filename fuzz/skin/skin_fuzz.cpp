// The skin reader over any bytes: the text as a skin file in a skin archive, built into a control
// tree and attached to a paint manager, then every node of its markup visited.
#include <ctime>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>

#include "duilib/dialog_builder.h"
#include "duilib/paint_manager.h"
#include "fuzz/support/scratch_dir.h"
#include "tests/support/zip_maker.h"

namespace {

using namespace DuiLib;

// The archive's directory is cached by size and time: give each archive a time of its own.
void MarkAsNew(const std::filesystem::path& archive) {
    static time_t stamp = 1000000000;
    const timespec times[2] = {{++stamp, 0}, {stamp, 0}};
    utimensat(AT_FDCWD, archive.c_str(), times, 0);
}

void VisitMarkup(const CMarkupNode& root) {
    // Depth-first over the whole document, without recursion: a skin may nest deeply.
    CMarkupNode node = root;
    size_t visited = 0;
    while (node.IsValid()) {
        ++visited;
        for (int i = 0; i < node.GetAttributeCount(); ++i) {
            node.GetAttributeName(i);
            node.GetAttributeValue(i);
        }
        node.GetValue();
        CMarkupNode next = node.GetChild();
        while (!next.IsValid() && node.IsValid()) {
            next = node.GetSibling();
            if (!next.IsValid())
                node = node.GetParent();
        }
        node = next;
    }
    (void)visited;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::filesystem::path& dir = fuzzing::ScratchDir();
    const std::filesystem::path archive = dir / "bt.dat";
    testing_support::MakeZip(archive,
                             {{.name = "skin.xml",
                               .data = std::string(reinterpret_cast<const char*>(data), size),
                               .deflate = false}});
    MarkAsNew(archive);
    CPaintManagerUI::SetResourcePath((dir.wstring() + L"/").c_str());
    CPaintManagerUI::SetResourceZip(L"bt.dat");

    CPaintManagerUI manager;
    CDialogBuilder builder;
    std::unique_ptr<CControlUI> root(builder.Create(L"skin.xml", nullptr, nullptr, &manager));
    if (root != nullptr && manager.AttachDialog(root.get())) {
        manager.FindControl(L"Root");
        manager.FindControl(POINT{5, 5});
        root.release(); // the manager owns the tree now
    }
    VisitMarkup(builder.GetMarkup()->GetRoot());

    CMarkup wide;
    wide.LoadFromMem(reinterpret_cast<const char*>(data), size, 1);
    VisitMarkup(wide.GetRoot());
    return 0;
}
