# One place for warnings: every target of the tree calls launcher_set_warnings.
option(LAUNCHER_WARNINGS_AS_ERRORS "Treat compiler warnings as errors" OFF)

function(launcher_set_warnings target)
    target_compile_options(${target} PRIVATE -Wall -Wextra)
    if(LAUNCHER_WARNINGS_AS_ERRORS)
        target_compile_options(${target} PRIVATE -Werror)
    endif()
endfunction()
