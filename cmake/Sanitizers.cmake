# LAUNCHER_SANITIZE=address,undefined or LAUNCHER_SANITIZE=thread applies to every target.
set(LAUNCHER_SANITIZE "" CACHE STRING "Sanitizers to build with: address,undefined | thread")
if(LAUNCHER_SANITIZE)
    add_compile_options(-fsanitize=${LAUNCHER_SANITIZE} -fno-omit-frame-pointer -g)
    add_link_options(-fsanitize=${LAUNCHER_SANITIZE})
endif()
