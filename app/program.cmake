# The program tolm-capture, its real backends, its settings file and the pages of its help links. Included by
# app/CMakeLists.txt.

add_executable(tolm-invert-settings ${CMAKE_CURRENT_SOURCE_DIR}/InvertSettings.cpp)

include(GNUInstallDirs)

# The pages the help links open lie in share/doc/tolm-screen-capture beside bin/, in the build tree as once
# installed, so the links are paths from the program's folder and work wherever the tree is moved.
set(tolm_doc_folder doc/tolm-screen-capture)
set(tolm_doc_destination ${CMAKE_INSTALL_DATAROOTDIR}/${tolm_doc_folder})
file(RELATIVE_PATH tolm_doc_link ${CMAKE_INSTALL_FULL_BINDIR} ${CMAKE_INSTALL_FULL_DATAROOTDIR}/${tolm_doc_folder})
get_filename_component(tolm_doc_build_dir ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/${tolm_doc_link} ABSOLUTE)
file(GLOB tolm_doc_pages CONFIGURE_DEPENDS RELATIVE ${PROJECT_SOURCE_DIR}
     ${PROJECT_SOURCE_DIR}/docs/*.md ${PROJECT_SOURCE_DIR}/docs/*.png)
set(tolm_doc_copies)
foreach(page README.md ${tolm_doc_pages})
    set(copy ${tolm_doc_build_dir}/${page})
    add_custom_command(OUTPUT ${copy}
        COMMAND ${CMAKE_COMMAND} -E copy_if_different ${PROJECT_SOURCE_DIR}/${page} ${copy}
        DEPENDS ${PROJECT_SOURCE_DIR}/${page})
    list(APPEND tolm_doc_copies ${copy})
endforeach()
add_custom_target(tolm_docs ALL DEPENDS ${tolm_doc_copies})

# The settings file is stored inverted beside the program in the build tree; installed, in the data folder, where
# the program looks when it is not beside it.
set(tolm_settings_plain ${CMAKE_CURRENT_BINARY_DIR}/settings.ini)
set(tolm_settings_file ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/zorovadi.dll)
configure_file(${CMAKE_CURRENT_SOURCE_DIR}/settings.ini ${tolm_settings_plain} @ONLY)
add_custom_command(OUTPUT ${tolm_settings_file}
    COMMAND tolm-invert-settings ${tolm_settings_plain} ${tolm_settings_file}
    DEPENDS tolm-invert-settings ${tolm_settings_plain}
    COMMENT "Writing the settings file zorovadi.dll")
add_custom_target(tolm_settings_file ALL DEPENDS ${tolm_settings_file})

add_library(tolm_app_backends STATIC ${CMAKE_CURRENT_SOURCE_DIR}/RealBackends.cpp)
target_link_libraries(tolm_app_backends PUBLIC tolm_app_windows tolm_wiring)

add_executable(tolm-capture ${CMAKE_CURRENT_SOURCE_DIR}/main.cpp)
target_link_libraries(tolm-capture PRIVATE tolm_app_backends)
add_dependencies(tolm-capture tolm_settings_file tolm_docs)

install(TARGETS tolm-capture RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${tolm_settings_file} DESTINATION ${CMAKE_INSTALL_DATADIR}/tolm-screen-capture)
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${tolm_doc_destination})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/docs/ DESTINATION ${tolm_doc_destination}/docs
        FILES_MATCHING PATTERN "*.md" PATTERN "*.png")
