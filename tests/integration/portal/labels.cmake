# Included by CTest after the discovered tests: the portal tests run in the pass over a Wayland desktop
# (label "wayland"); they share its single screen-cast grant, so they run alone.
if(tolm_portal_tests_TESTS)
    set_tests_properties(${tolm_portal_tests_TESTS} PROPERTIES LABELS "integration/portal;wayland" RUN_SERIAL TRUE)
endif()
