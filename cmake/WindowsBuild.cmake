# The Windows deliverables and their Wine-run tests, built as an external project with the
# MinGW toolchain in <host build>/win. Its tests join this build's CTest run.
option(MIRVISTA_WINDOWS "Also build the Windows deliverables and tests" ON)
if(NOT MIRVISTA_WINDOWS)
    return()
endif()

include(ExternalProject)
set(MIRVISTA_WIN_BUILD ${CMAKE_BINARY_DIR}/win)
ExternalProject_Add(windows_build
    SOURCE_DIR ${CMAKE_SOURCE_DIR}
    BINARY_DIR ${MIRVISTA_WIN_BUILD}
    CMAKE_ARGS -DCMAKE_TOOLCHAIN_FILE=${CMAKE_SOURCE_DIR}/cmake/toolchain-mingw-i686.cmake
               -DCMAKE_BUILD_TYPE=Release
               -DCMAKE_CROSSCOMPILING_EMULATOR=${CMAKE_SOURCE_DIR}/cmake/wine-run.sh
    BUILD_ALWAYS ON
    INSTALL_COMMAND ""
    USES_TERMINAL_BUILD ON)

# CTest reads this file while it loads the tests of this directory.
file(WRITE ${CMAKE_BINARY_DIR}/WindowsTests.cmake "subdirs(\"${MIRVISTA_WIN_BUILD}\")\n")
set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${CMAKE_BINARY_DIR}/WindowsTests.cmake)
