# GoogleTest from the distribution's sources, built with this build's own flags (sanitizers
# on the host, MinGW for Windows).
enable_testing()

set(MIRVISTA_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest source tree")
set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
add_subdirectory(${MIRVISTA_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
foreach(t gtest gtest_main gmock gmock_main)
    if(TARGET ${t})
        target_compile_options(${t} PRIVATE -w)
    endif()
endforeach()

set(MIRVISTA_WINE_RUNNER ${CMAKE_SOURCE_DIR}/cmake/wine-run.sh)

# CTest labels, so that a part of the suite can be run with ctest -L:
#   native  quick tests of the host build (ctest -L native is the quick native set)
#   wine    tests of the Windows build, run under Wine
#   fuzz    libFuzzer targets: seed replays and timed runs
#   slow    tests that take a minute or more (timed fuzzing, end-to-end runs, soaks)
# The functions below label their tests; a test added with add_test directly is labelled
# with mirvista_label(<test> <label>...).
function(mirvista_label test)
    set_property(TEST ${test} APPEND PROPERTY LABELS ${ARGN})
endfunction()

# A GoogleTest executable with gtest_main, registered in CTest as <prefix>.<name>.
function(mirvista_gtest_executable target test_name)
    cmake_parse_arguments(T "" "" "SOURCES;LIBS;ENV" ${ARGN})
    add_executable(${target} ${T_SOURCES})
    target_link_libraries(${target} PRIVATE ${T_LIBS} gmock gtest_main)
    add_test(NAME ${test_name} COMMAND ${target})
    set_tests_properties(${test_name} PROPERTIES ENVIRONMENT "${T_ENV}")
endfunction()

# mirvista_host_test(<name> SOURCES ... [LIBS ...] [ENV VAR=value ...])
# A test of the host build, under the sanitizers, registered as host.<name>.
function(mirvista_host_test name)
    if(MIRVISTA_HOST)
        mirvista_gtest_executable(test_${name} host.${name} ${ARGN}
            ENV ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1)
        set_tests_properties(host.${name} PROPERTIES TIMEOUT 300 LABELS native)
    endif()
endfunction()

# mirvista_win_test(<name> SOURCES ... [LIBS ...] [ENV VAR=value ...] [PREFIX <suffix>])
# A test of the Windows build, run under Wine by the runner and registered as win.<name>.
# Wine tests share one prefix, so they run one at a time; with PREFIX the test has a prefix
# of its own (wineprefix-<suffix>), for tests that change the machine's state.
function(mirvista_win_test name)
    if(WIN32)
        cmake_parse_arguments(W "" "PREFIX" "" ${ARGN})
        set(prefix wineprefix)
        if(W_PREFIX)
            set(prefix wineprefix-${W_PREFIX})
        endif()
        mirvista_gtest_executable(wintest_${name} win.${name} ${W_UNPARSED_ARGUMENTS}
            ENV MIRVISTA_WINE_PREFIX=${CMAKE_BINARY_DIR}/${prefix})
        set_tests_properties(win.${name} PROPERTIES TIMEOUT 600 RESOURCE_LOCK ${prefix}
                             LABELS wine)
    endif()
endfunction()

# mirvista_bench(<name> SOURCES ... [LIBS ...] [WINDOWS])
# A benchmark program (not a test): bench_<name> in a host build without sanitizers (the
# optimised build that scripts/bench.sh makes in build/bench), or bench_<name>.exe in the
# Windows build when WINDOWS is given. scripts/bench.sh runs them all.
function(mirvista_bench name)
    cmake_parse_arguments(B "WINDOWS" "" "SOURCES;LIBS" ${ARGN})
    if(B_WINDOWS)
        set(wanted ${WIN32})
    else()
        set(wanted ${MIRVISTA_HOST})
        if(MIRVISTA_SANITIZE)
            set(wanted OFF) # sanitizers would measure themselves
        endif()
    endif()
    if(wanted)
        add_executable(bench_${name} ${B_SOURCES})
        target_link_libraries(bench_${name} PRIVATE ${B_LIBS})
    endif()
endfunction()

# mirvista_link_mirvane(<target>)
# Lets a test or benchmark program drive the mirror driver through the stand-in graphics
# engine (tests/driver/StandIn.h). Host build: the driver's sources and the stand-in are
# linked in. Windows build: the program links the stand-in win32k.sys, and the real
# mirvane.dll and win32k.sys are put beside it, where Wine finds them.
function(mirvista_link_mirvane target)
    target_sources(${target} PRIVATE ${PROJECT_SOURCE_DIR}/tests/driver/StandInDriver.c)
    if(WIN32)
        target_link_libraries(${target} PRIVATE win32k_standin)
        add_dependencies(${target} mirvane)
        add_custom_command(TARGET ${target} POST_BUILD
            COMMAND ${CMAKE_COMMAND} -E copy_if_different $<TARGET_FILE:mirvane>
                    $<TARGET_FILE:win32k_standin> $<TARGET_FILE_DIR:${target}>)
    else()
        target_link_libraries(${target} PRIVATE mirvane_host standin_host)
    endif()
endfunction()

# mirvista_fuzz(<name> SECONDS <s> MAX_LEN <n> [TIMEOUT <t>])
# A libFuzzer target <name> built with clang under ASan and UBSan from ./fuzz, a project of
# its own (it needs clang where the host build may use gcc). CTest replays ./fuzz/corpus
# (host.<name>_corpus) and fuzzes for <s> seconds (host.<name>), new inputs going to a work
# folder in the build tree; the committed seeds stay as they are.
function(mirvista_fuzz name)
    cmake_parse_arguments(F "" "SECONDS;MAX_LEN;TIMEOUT" "" ${ARGN})
    find_program(MIRVISTA_CLANGXX NAMES clang++ clang++-14)
    find_program(MIRVISTA_CLANG NAMES clang clang-14)
    if(NOT MIRVISTA_HOST OR NOT MIRVISTA_CLANGXX OR NOT MIRVISTA_CLANG)
        return()
    endif()
    if(NOT F_TIMEOUT)
        set(F_TIMEOUT 120)
    endif()
    include(ExternalProject)
    set(fuzz_dir ${CMAKE_CURRENT_BINARY_DIR}/fuzz)
    set(fuzz_corpus ${CMAKE_CURRENT_SOURCE_DIR}/fuzz/corpus)
    ExternalProject_Add(${name}_build
        SOURCE_DIR ${CMAKE_CURRENT_SOURCE_DIR}/fuzz
        BINARY_DIR ${fuzz_dir}
        CMAKE_ARGS -DCMAKE_CXX_COMPILER=${MIRVISTA_CLANGXX} -DCMAKE_C_COMPILER=${MIRVISTA_CLANG}
                   -DMIRVISTA_ROOT=${PROJECT_SOURCE_DIR}
        BUILD_ALWAYS ON
        INSTALL_COMMAND "")
    add_test(NAME host.${name}_corpus COMMAND ${fuzz_dir}/${name} -runs=0 ${fuzz_corpus})
    add_test(NAME host.${name}
             COMMAND sh -c "mkdir -p work && exec ./${name} -max_total_time=${F_SECONDS} -max_len=${F_MAX_LEN} -timeout=10 work \"$0\""
                     ${fuzz_corpus}
             WORKING_DIRECTORY ${fuzz_dir})
    set_tests_properties(host.${name}_corpus host.${name} PROPERTIES TIMEOUT ${F_TIMEOUT})
    mirvista_label(host.${name}_corpus fuzz)
    mirvista_label(host.${name} fuzz slow)
endfunction()
