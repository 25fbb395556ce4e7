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

# mirvista_host_test(<name> SOURCES ... [LIBS ...] [ENV VAR=value ...])
# A GoogleTest executable of the host build, registered as host.<name>.
function(mirvista_host_test name)
    if(NOT MIRVISTA_HOST)
        return()
    endif()
    cmake_parse_arguments(T "" "" "SOURCES;LIBS;ENV" ${ARGN})
    add_executable(test_${name} ${T_SOURCES})
    target_link_libraries(test_${name} PRIVATE ${T_LIBS} gmock gtest_main)
    add_test(NAME host.${name} COMMAND test_${name})
    set_tests_properties(host.${name} PROPERTIES TIMEOUT 300 ENVIRONMENT
                         "ASAN_OPTIONS=detect_leaks=1;UBSAN_OPTIONS=print_stacktrace=1;${T_ENV}")
endfunction()

# mirvista_win_test(<name> SOURCES ... [LIBS ...] [ENV VAR=value ...])
# A GoogleTest executable of the Windows build, run under Wine by the runner and
# registered as win.<name>. Wine tests share one prefix, so they run one at a time.
function(mirvista_win_test name)
    if(NOT WIN32)
        return()
    endif()
    cmake_parse_arguments(T "" "" "SOURCES;LIBS;ENV" ${ARGN})
    add_executable(wintest_${name} ${T_SOURCES})
    target_link_libraries(wintest_${name} PRIVATE ${T_LIBS} gmock gtest_main)
    add_test(NAME win.${name} COMMAND wintest_${name})
    set_tests_properties(win.${name} PROPERTIES TIMEOUT 600 RESOURCE_LOCK wineprefix
                         ENVIRONMENT "MIRVISTA_WINE_PREFIX=${CMAKE_BINARY_DIR}/wineprefix;${T_ENV}")
endfunction()
