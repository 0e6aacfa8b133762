// The entry of every test program: tests run headless unless a test says otherwise.
#include <cstdlib>

#include <gtest/gtest.h>

// wxWidgets keeps a few bytes per thread that it frees from a thread-exit hook; a worker that
// ends just as a test process exits can leave them behind. Not ours to free. Without frame
// pointers in the library, a fast-unwound stack of the same bytes can end in its net part.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libwx_baseu-3.2.so\nleak:libwx_baseu_net-3.2.so\n";
}

int main(int argc, char** argv) {
    setenv("LAUNCHER_BACKEND", "headless", 0);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
