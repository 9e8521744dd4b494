# The Windows build's tests: the unit test programs of the layers it builds, with GoogleTest built from
# Debian's sources by the cross compiler (the system's libgtest is Linux's).
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
target_compile_options(gtest PRIVATE -Wno-error)
target_compile_options(gtest_main PRIVATE -Wno-error)

tolm_test_program(tolm_imaging_tests unit/imaging tolm_imaging)
tolm_test_program(tolm_effects_tests unit/effects tolm_effects)
tolm_test_program(tolm_capture_tests unit/capture tolm_capture tolm_platform_fake)
tolm_test_program(tolm_selection_tests unit/selection tolm_selection tolm_platform_fake)
tolm_test_program(tolm_platform_tests unit/platform tolm_platform_api tolm_platform_win32)
tolm_test_program(tolm_audio_tests unit/audio tolm_audio tolm_platform_fake tolm_platform_win32)
tolm_test_program(tolm_cli_tests unit/cli tolm_cli_options tolm_platform_fake)
# The runtime folder earlier versions kept their temporary files in is POSIX's; Windows has none.
set_property(TEST tolm_capture_tests PROPERTY ENVIRONMENT GTEST_FILTER=-FormerFolder.*)
# FFmpeg's resampler as the engine's sound converter: the static FFmpeg libraries linked and run.
tolm_test_program(tolm_audio_convert_tests integration/audioconvert tolm_audio tolm_platform_ffmpeg)
