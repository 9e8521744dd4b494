# Included by CTest after the discovered tests: the desktop and recorder tests move the pointer, press and grab keys and
# lay windows over the shared display, so no other test may run beside them.
if(tolm_x11desktop_tests_TESTS)
    set_tests_properties(${tolm_x11desktop_tests_TESTS} PROPERTIES RUN_SERIAL TRUE)
endif()
# tolm-record grabs the same keys and records the shared screen.
if(tolm_cli_integration_tests_TESTS)
    set_tests_properties(${tolm_cli_integration_tests_TESTS} PROPERTIES RUN_SERIAL TRUE)
endif()
# The sound server tests switch the server's default source, change volumes and add sources for a moment.
if(tolm_pulse_tests_TESTS)
    set_tests_properties(${tolm_pulse_tests_TESTS} PROPERTIES RUN_SERIAL TRUE)
endif()
# The window program takes the shared display's pointer, keys and focus.
if(tolm_gui_integration_tests_TESTS)
    set_tests_properties(${tolm_gui_integration_tests_TESTS} PROPERTIES RUN_SERIAL TRUE)
endif()
# The window program's windows take the shared display's pointer and keyboard.
if(tolm_gui_windows_tests_TESTS)
    set_tests_properties(${tolm_gui_windows_tests_TESTS} PROPERTIES RUN_SERIAL TRUE)
endif()
