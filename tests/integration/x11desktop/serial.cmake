# Included by CTest after the discovered tests: the desktop tests move the pointer, press and grab keys and
# lay windows over the shared display, so no other test may run beside them.
if(tolm_x11desktop_tests_TESTS)
    set_tests_properties(${tolm_x11desktop_tests_TESTS} PROPERTIES RUN_SERIAL TRUE)
endif()
