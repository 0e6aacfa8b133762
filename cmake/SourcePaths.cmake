# Log records carry __FILE__; they name a source as the tree does ("launcher/frame_window.cpp"),
# never the build machine's directories. The compiler is given the source root as an absolute
# path, but a compiler cache with a base directory hands it on relative to the directory the
# compile runs in (the target's binary directory with Makefiles, the build root with Ninja), so
# both forms are mapped away.
if(CMAKE_GENERATOR MATCHES "Ninja")
    set(launcher_compile_dir "${CMAKE_BINARY_DIR}")
else()
    set(launcher_compile_dir "$<TARGET_PROPERTY:BINARY_DIR>")
endif()
add_compile_options(
    "-fmacro-prefix-map=${PROJECT_SOURCE_DIR}/="
    "-fmacro-prefix-map=$<PATH:RELATIVE_PATH,${PROJECT_SOURCE_DIR},${launcher_compile_dir}>/=")
