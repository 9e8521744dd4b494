# Included by CTest after the discovered tests: the tests that write gigabytes also carry the label
# "large", so a quick run can leave them out with -LE large.
set_tests_properties(LargeFile.OpenDmlBeyondFourGigabytes PROPERTIES LABELS "integration/ffmpeg;large")
