#include "tests/support/program_dir.h"

#include "duilib/backend.h"
#include "duilib/paint_manager.h"

namespace testing_support {

void UseProgramDirectory(const TempDir& dir, bool withSkin) {
    if (withSkin)
        std::filesystem::copy_file(BinDir() / "bt.dat", dir.path() / "bt.dat",
                                   std::filesystem::copy_options::overwrite_existing);
    DuiLib::InitBackend();
    DuiLib::CPaintManagerUI::SetInstance(dir.wide().c_str());
    DuiLib::CPaintManagerUI::SetResourcePath(DuiLib::CPaintManagerUI::GetInstancePath());
    DuiLib::CPaintManagerUI::SetResourceZip(L"bt.dat");
}

} // namespace testing_support
