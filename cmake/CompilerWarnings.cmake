# One place for warnings: every target of the tree calls launcher_set_warnings. CI (.ci/run)
# builds with LAUNCHER_WARNINGS_AS_ERRORS=ON, so the whole set below is an error there.
option(LAUNCHER_WARNINGS_AS_ERRORS "Treat compiler warnings as errors" OFF)

function(launcher_set_warnings target)
    target_compile_options(${target} PRIVATE
        -Wall -Wextra -Wshadow -Wconversion -Wsign-conversion -Wold-style-cast
        -Wnon-virtual-dtor -Wpedantic)
    if(LAUNCHER_WARNINGS_AS_ERRORS)
        target_compile_options(${target} PRIVATE -Werror)
    endif()
    # GCC's bounds analysis runs on the sanitizers' instrumented code and reports copies into
    # buffers it cannot size there (seen on GCC 12 with address,undefined); the normal build
    # keeps the warning.
    if(LAUNCHER_SANITIZE AND CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
        target_compile_options(${target} PRIVATE -Wno-array-bounds -Wno-stringop-overflow
            -Wno-stringop-overread)
    endif()
endfunction()
