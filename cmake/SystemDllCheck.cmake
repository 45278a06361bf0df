# A test that every Windows executable of the build imports only DLLs that every Windows system
# has: the program is handed over as one .exe file, with no runtime DLL beside it.

# Executable targets built by default in `dir` and below, GoogleTest's own tree left out.
function(kq_collect_executables dir out_var)
    set(found "")
    get_property(targets DIRECTORY "${dir}" PROPERTY BUILDSYSTEM_TARGETS)
    foreach(target IN LISTS targets)
        get_target_property(type ${target} TYPE)
        get_target_property(excluded ${target} EXCLUDE_FROM_ALL)
        if(type STREQUAL "EXECUTABLE" AND NOT excluded)
            list(APPEND found ${target})
        endif()
    endforeach()
    get_property(subdirs DIRECTORY "${dir}" PROPERTY SUBDIRECTORIES)
    foreach(subdir IN LISTS subdirs)
        if(NOT subdir MATCHES "/googletest$")
            kq_collect_executables("${subdir}" below)
            list(APPEND found ${below})
        endif()
    endforeach()
    set(${out_var} "${found}" PARENT_SCOPE)
endfunction()

# Call once, at the end of the top-level CMakeLists.txt, when building for Windows.
function(kq_add_system_dll_test)
    kq_collect_executables("${CMAKE_SOURCE_DIR}" executables)
    if(NOT executables)
        return()
    endif()
    if(NOT CMAKE_OBJDUMP)
        message(FATAL_ERROR "No objdump for the Windows toolchain: cannot check imported DLLs")
    endif()
    # Joined with "|": a ";" would split the argument in two on the test's command line.
    set(files "")
    foreach(target IN LISTS executables)
        list(APPEND files "$<TARGET_FILE:${target}>")
    endforeach()
    list(JOIN files "|" joined_files)
    add_test(NAME windows_executables_import_only_system_dlls
             COMMAND ${CMAKE_COMMAND} -D "OBJDUMP=${CMAKE_OBJDUMP}" -D "EXECUTABLES=${joined_files}"
                     -P ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/check-system-dlls.cmake)
endfunction()
