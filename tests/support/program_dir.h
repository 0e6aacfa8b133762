#pragma once
// Points the UI library at a temporary program directory, as WinMain does for the real one.
#include "tests/support/temp_dir.h"

namespace testing_support {

// Sets the instance path, the resource path and "bt.dat"; copies the built skin archive into
// the directory first when withSkin is set.
void UseProgramDirectory(const TempDir& dir, bool withSkin = true);

} // namespace testing_support
