# The native (host) build: the portable code under AddressSanitizer and UBSan, with its
# unit tests and libFuzzer targets.
option(KORVANE_FUZZ "Build the libFuzzer targets (clang)" ON)
set(KORVANE_SANITIZE -fsanitize=address,undefined -fno-omit-frame-pointer
                     -fno-sanitize-recover=undefined)
add_compile_options(${KORVANE_SANITIZE})
add_link_options(${KORVANE_SANITIZE})

set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)

# korvane_fuzz(<name> SOURCES ... LIBS ... RUNS n [SECONDS n] [CORPUS dir])
# A libFuzzer target, run by ctest for a fixed number of inputs from a fixed seed, so that
# every run of the tests tries the same inputs (a pass on one machine is a pass on
# another); SECONDS caps the time on a slow machine. Choose RUNS to take about a minute.
function(korvane_fuzz name)
    cmake_parse_arguments(F "" "SECONDS;CORPUS;RUNS" "SOURCES;LIBS" ${ARGN})
    if(NOT F_RUNS)
        message(FATAL_ERROR "korvane_fuzz(${name}): RUNS is required")
    endif()
    if(NOT KORVANE_FUZZ OR NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
        return()
    endif()
    if(NOT F_SECONDS)
        set(F_SECONDS 120)
    endif()
    add_executable(${name} ${F_SOURCES})
    target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
    target_link_options(${name} PRIVATE -fsanitize=fuzzer)
    target_link_libraries(${name} PRIVATE ${F_LIBS})
    set(corpus ${CMAKE_CURRENT_BINARY_DIR}/${name}-corpus)
    set(seed_args)
    if(F_CORPUS)
        set(seed_args ${F_CORPUS})
    endif()
    add_test(NAME ${name}
             COMMAND ${CMAKE_COMMAND} -E env ASAN_OPTIONS=detect_leaks=1
                     sh -c "mkdir -p '${corpus}' && exec \"$0\" -seed=1 -runs=${F_RUNS} -max_total_time=${F_SECONDS} -rss_limit_mb=2048 -print_final_stats=1 '${corpus}' $*"
                     $<TARGET_FILE:${name}> ${seed_args})
    set_tests_properties(${name} PROPERTIES LABELS fuzz TIMEOUT ${F_SECONDS}0)
endfunction()
