# cmake -DFUZZER=... -DCORPUS=... -DWORK=... -P run_fuzz.cmake
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
file(GLOB seeds ${CORPUS}/*)
file(COPY ${seeds} DESTINATION ${WORK})
# max_len above the receive cap, so that floods reach it.
execute_process(COMMAND ${FUZZER} -runs=200000 -seed=1 -max_len=8192 ${WORK}
    RESULT_VARIABLE result)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "fuzz_receiver failed: ${result}")
endif()
