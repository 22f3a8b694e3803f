# cmake -DFUZZER=... -DCORPUS=... [-DRUNS=n] [-DMAX_LEN=n] [-DSUPPRESSIONS=file] [-DFULL_STACKS=ON]
#       -P run_fuzz.cmake
#
# The same commit must give the same verdict on every run, wherever the tree is cloned, so
# everything the fuzzer's path depends on is pinned: its seed, Qt's hash seed, the address layout
# (pointer values reach the comparison traces that steer mutations: no randomisation, and no
# environment or path whose length would shift the stack and heap), and no re-reading of the corpus
# folder, which runs on a wall-clock interval. It runs beside the fuzzer, on a fresh copy of the
# corpus: libFuzzer adds what it finds to the corpus folder, and the committed one stays as it is.
# SUPPRESSIONS: LeakSanitizer's list of leaks that are Qt's, not ours. FULL_STACKS: allocations are
# unwound through Qt's own frames, which have no frame pointers, so that a suppression can name the
# Qt function that leaks; it costs several times the run's time.
if(NOT RUNS)
    set(RUNS 200000)
endif()
if(NOT MAX_LEN)
    set(MAX_LEN 8192)
endif()
get_filename_component(dir ${FUZZER} DIRECTORY)
get_filename_component(name ${FUZZER} NAME)
set(work ${dir}/${name}.corpus)
set(artifacts ${dir}/${name}.artifacts)
file(REMOVE_RECURSE ${work} ${artifacts})
file(MAKE_DIRECTORY ${work} ${artifacts})
file(GLOB seeds ${CORPUS}/*)
file(COPY ${seeds} DESTINATION ${work})

find_program(ENV_PROGRAM env REQUIRED)
find_program(SETARCH setarch)
if(SETARCH)
    set(fixed_layout ${SETARCH} -R)
else()
    message(WARNING "setarch not found: address layout randomisation stays on, runs may differ")
endif()
set(environment QT_HASH_SEED=0)
if(SUPPRESSIONS)
    # Beside the fuzzer and named relatively: an absolute path would depend on the clone.
    configure_file(${SUPPRESSIONS} ${dir}/lsan.supp COPYONLY)
    list(APPEND environment LSAN_OPTIONS=suppressions=lsan.supp:print_suppressions=0)
endif()
if(FULL_STACKS)
    list(APPEND environment ASAN_OPTIONS=fast_unwind_on_malloc=0)
endif()

execute_process(
    COMMAND ${ENV_PROGRAM} -i ${environment} ${fixed_layout} ./${name}
            -runs=${RUNS} -seed=1 -max_len=${MAX_LEN} -reload=0
            -artifact_prefix=${name}.artifacts/ ${name}.corpus
    WORKING_DIRECTORY ${dir}
    RESULT_VARIABLE result)
if(result EQUAL 0)
    return()
endif()

# Show what failed, so that CI's log alone is enough to reproduce it.
file(GLOB found ${artifacts}/*)
foreach(input ${found})
    file(SIZE ${input} size)
    file(READ ${input} hex HEX)
    string(LENGTH "${hex}" digits)
    set(dump "")
    set(offset 0)
    while(offset LESS digits)
        string(SUBSTRING "${hex}" ${offset} 64 row)
        string(REGEX REPLACE "([0-9a-f][0-9a-f])" " \\1" row "${row}")
        math(EXPR at "${offset} / 2" OUTPUT_FORMAT HEXADECIMAL)
        string(APPEND dump "${at}:${row}\n")
        math(EXPR offset "${offset} + 64")
    endwhile()
    string(REPLACE ";" " " shown_environment "${environment}")
    message("${name} failing input ${input} (${size} bytes):\n${dump}")
    message("reproduce: cd ${dir} && env -i ${shown_environment} ./${name} ${input}")
endforeach()
message(FATAL_ERROR "${name} failed (${result}); seed 1, ${RUNS} runs, corpus ${CORPUS}")
