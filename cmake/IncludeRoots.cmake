# launcher_include_root(<target> <path>...): gives a layer its own include root,
# ${CMAKE_BINARY_DIR}/include/<target>, holding symbolic links to the named folders or headers
# of the tree under their usual spelling (for example "launcher/zip" links the source folder).
# The root is PUBLIC, so a target sees its own headers and those of the layers it links, and an
# include of any other layer's header does not compile; the links keep the spelling of every
# include unchanged. No target adds the repository root as an include directory.
function(launcher_include_root target)
    set(root ${CMAKE_BINARY_DIR}/include/${target})
    # Links only: removing the root never touches the sources they point to.
    file(REMOVE_RECURSE ${root})
    foreach(path IN LISTS ARGN)
        if(NOT EXISTS ${CMAKE_SOURCE_DIR}/${path})
            message(FATAL_ERROR "launcher_include_root(${target}): no ${path} in the tree")
        endif()
        get_filename_component(parent ${root}/${path} DIRECTORY)
        file(MAKE_DIRECTORY ${parent})
        file(CREATE_LINK ${CMAKE_SOURCE_DIR}/${path} ${root}/${path} SYMBOLIC)
    endforeach()
    get_target_property(type ${target} TYPE)
    if(type STREQUAL "INTERFACE_LIBRARY")
        target_include_directories(${target} INTERFACE ${root})
    else()
        target_include_directories(${target} PUBLIC ${root})
    endif()
endfunction()
