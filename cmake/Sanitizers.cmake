# LAUNCHER_SANITIZE=address,undefined or LAUNCHER_SANITIZE=thread applies to every target.
set(LAUNCHER_SANITIZE "" CACHE STRING "Sanitizers to build with: address,undefined | thread")
if(LAUNCHER_SANITIZE)
    add_compile_options(-fsanitize=${LAUNCHER_SANITIZE} -fno-omit-frame-pointer -g)
    add_link_options(-fsanitize=${LAUNCHER_SANITIZE})
endif()

# LAUNCHER_FUZZ=ON (clang): every layer gets libFuzzer's coverage hooks and the address and
# undefined-behaviour sanitizers; only the targets in fuzz/ link libFuzzer itself.
option(LAUNCHER_FUZZ "Build the libFuzzer targets in fuzz/ (clang)" OFF)
if(LAUNCHER_FUZZ)
    add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer -g)
    add_link_options(-fsanitize=address,undefined)
endif()
