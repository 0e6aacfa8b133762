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
endfunction()
