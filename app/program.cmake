# The program tolm-capture, its real backends and its settings file. Included by app/CMakeLists.txt.

add_executable(tolm-invert-settings ${CMAKE_CURRENT_SOURCE_DIR}/InvertSettings.cpp)

# The settings file is stored inverted beside the program; its links point into this source tree's docs.
set(tolm_settings_plain ${CMAKE_CURRENT_BINARY_DIR}/settings.ini)
set(tolm_settings_file ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/zorovadi.dll)
configure_file(${CMAKE_CURRENT_SOURCE_DIR}/settings.ini ${tolm_settings_plain} @ONLY)
add_custom_command(OUTPUT ${tolm_settings_file}
    COMMAND tolm-invert-settings ${tolm_settings_plain} ${tolm_settings_file}
    DEPENDS tolm-invert-settings ${tolm_settings_plain}
    COMMENT "Writing the settings file zorovadi.dll")
add_custom_target(tolm_settings_file ALL DEPENDS ${tolm_settings_file})

add_library(tolm_app_backends STATIC ${CMAKE_CURRENT_SOURCE_DIR}/RealBackends.cpp)
target_link_libraries(tolm_app_backends PUBLIC tolm_app_windows tolm_platform_desktop)

add_executable(tolm-capture ${CMAKE_CURRENT_SOURCE_DIR}/main.cpp)
target_link_libraries(tolm-capture PRIVATE tolm_app_backends)
add_dependencies(tolm-capture tolm_settings_file)
