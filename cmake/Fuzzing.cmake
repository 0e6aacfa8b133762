# LAUNCHER_FUZZ=ON builds the libFuzzer targets of fuzz/ (clang only). Every target of the tree
# is then compiled with coverage for the fuzzer and, unless LAUNCHER_SANITIZE says otherwise,
# with the address and undefined-behaviour sanitizers; scripts/fuzz configures such a build.
option(LAUNCHER_FUZZ "Build the libFuzzer targets in fuzz/ (clang)" OFF)
if(LAUNCHER_FUZZ)
    if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
        message(FATAL_ERROR "LAUNCHER_FUZZ needs clang (CC=clang CXX=clang++)")
    endif()
    if(NOT LAUNCHER_SANITIZE)
        set(LAUNCHER_SANITIZE address,undefined)
    endif()
    add_compile_options(-fsanitize=fuzzer-no-link)
endif()
