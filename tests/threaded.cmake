# Included by CTest after the discovered tests: the tests that run our threads against each other (the recording
# worker, device threads and their message queues, the encoder's queue) also carry the label "threaded", which the
# ThreadSanitizer pass runs.
function(tolm_label_threaded folder)
    if(ARGN)
        set_tests_properties(${ARGN} PROPERTIES LABELS "${folder};threaded")
    endif()
endfunction()

tolm_label_threaded(unit/capture ${tolm_capture_tests_TESTS})
tolm_label_threaded(unit/audio ${tolm_audio_tests_TESTS})
# Not the cuts of leftover files at every byte: one thread, and slow under the sanitizer.
set(engine_tests ${tolm_recording_tests_TESTS})
list(FILTER engine_tests EXCLUDE REGEX "^TruncatedLeftover\\.")
tolm_label_threaded(integration/recording ${engine_tests})
tolm_label_threaded(integration/pulse ${tolm_pulse_tests_TESTS})
# Of the FFmpeg tests, those of the encoder's queue thread and of our encoders' band threads.
set(queue_tests ${tolm_ffmpeg_tests_TESTS})
list(FILTER queue_tests INCLUDE REGEX "(QueuedWrites|BoundedStop|Threading|MsVideo1Encoder)\\.")
tolm_label_threaded(integration/ffmpeg ${queue_tests})
