# Compiler settings shared by every target of both builds.

add_compile_options(-Wall -Wextra)

if(WIN32)
    # Windows 7 API level, ANSI functions; keep <windows.h> lean.
    add_compile_definitions(_WIN32_WINNT=0x0601 WINVER=0x0601 WIN32_LEAN_AND_MEAN NOMINMAX)
endif()

option(MIRVISTA_SANITIZE "Build the host build with AddressSanitizer and UBSan" ON)
if(MIRVISTA_HOST AND MIRVISTA_SANITIZE)
    add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=undefined
                        -fno-omit-frame-pointer)
    add_link_options(-fsanitize=address,undefined)
endif()

# Adds each listed subdirectory that has a CMakeLists.txt, so a folder joins the build
# by existing.
function(mirvista_add_subdirs_if_present)
    foreach(dir IN LISTS ARGN)
        if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/CMakeLists.txt)
            add_subdirectory(${dir})
        endif()
    endforeach()
endfunction()
