# Each library sees only the headers of the layers it links. Its own headers are exposed through a folder of
# its own in the build tree that holds links to nothing but that layer's sources, so an include of a layer the
# library does not link fails to compile, while includes keep their "layer/File.h" spelling.
#
#   tolm_expose(<target> [FOLDERS <folder>...] [HEADERS <glob>...])
#
# FOLDERS are linked whole (e.g. platform/x11); HEADERS globs name single headers (e.g. platform/*.h) for a
# folder whose subfolders belong to other libraries.
function(tolm_expose target)
    cmake_parse_arguments(arg "" "" "FOLDERS;HEADERS" ${ARGN})
    set(root ${CMAKE_BINARY_DIR}/layers/${target})
    # Only links are removed here, never what they point to; a header that went away leaves no link behind.
    file(GLOB_RECURSE stale LIST_DIRECTORIES false ${root}/*)
    foreach(folder ${arg_FOLDERS})
        list(APPEND stale ${root}/${folder})
    endforeach()
    foreach(path ${stale})
        if(IS_SYMLINK ${path})
            file(REMOVE ${path})
        endif()
    endforeach()
    set(links ${arg_FOLDERS})
    foreach(pattern ${arg_HEADERS})
        file(GLOB headers CONFIGURE_DEPENDS RELATIVE ${PROJECT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/${pattern})
        list(APPEND links ${headers})
    endforeach()
    foreach(link ${links})
        get_filename_component(parent ${root}/${link} DIRECTORY)
        file(MAKE_DIRECTORY ${parent})
        file(CREATE_LINK ${PROJECT_SOURCE_DIR}/${link} ${root}/${link} SYMBOLIC)
    endforeach()
    target_include_directories(${target} PUBLIC ${root})
endfunction()
