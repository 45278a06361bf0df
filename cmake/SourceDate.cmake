# The sources' date, which every time in the packages is set to, so that two builds of one commit
# give the same bytes: KQ_SOURCE_DATE_EPOCH in seconds since 1970 and KQ_SOURCE_DATE as YYYY-MM-DD.
# It is SOURCE_DATE_EPOCH when that is set, else the time of the last commit, else (sources
# without their history, such as a tree from `git archive`, whose files all bear the commit's
# time) the newest time of the files the packages are made from.
if(DEFINED ENV{SOURCE_DATE_EPOCH})
    set(KQ_SOURCE_DATE_EPOCH $ENV{SOURCE_DATE_EPOCH})
    set(source "SOURCE_DATE_EPOCH")
else()
    find_package(Git QUIET)
    if(Git_FOUND)
        execute_process(COMMAND ${GIT_EXECUTABLE} log -1 --format=%ct
                        WORKING_DIRECTORY ${PROJECT_SOURCE_DIR} OUTPUT_VARIABLE KQ_SOURCE_DATE_EPOCH
                        OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
        set(source "the last commit")
        # A new commit, a checkout or a reset configures the build again, so the date follows.
        execute_process(COMMAND ${GIT_EXECUTABLE} rev-parse --path-format=absolute
                                --git-path logs/HEAD
                        WORKING_DIRECTORY ${PROJECT_SOURCE_DIR} OUTPUT_VARIABLE head_log
                        OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
        if(EXISTS "${head_log}")
            set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${head_log})
        endif()
    endif()
    if(NOT KQ_SOURCE_DATE_EPOCH MATCHES "^[0-9]+$")
        file(GLOB_RECURSE sources ${PROJECT_SOURCE_DIR}/src/* ${PROJECT_SOURCE_DIR}/res/*
             ${PROJECT_SOURCE_DIR}/packaging/* ${PROJECT_SOURCE_DIR}/cmake/*)
        set(KQ_SOURCE_DATE_EPOCH 0)
        foreach(file IN LISTS sources ITEMS ${PROJECT_SOURCE_DIR}/CMakeLists.txt
                                             ${PROJECT_SOURCE_DIR}/CHANGELOG.md
                                             ${PROJECT_SOURCE_DIR}/README.md)
            file(TIMESTAMP ${file} time "%s" UTC)
            if(time GREATER KQ_SOURCE_DATE_EPOCH)
                set(KQ_SOURCE_DATE_EPOCH ${time})
            endif()
        endforeach()
        set(source "the newest source file")
    endif()
endif()
if(NOT KQ_SOURCE_DATE_EPOCH MATCHES "^[0-9]+$")
    message(FATAL_ERROR "SOURCE_DATE_EPOCH is \"${KQ_SOURCE_DATE_EPOCH}\", not a number of seconds")
endif()
set(ENV{SOURCE_DATE_EPOCH} ${KQ_SOURCE_DATE_EPOCH})  # string(TIMESTAMP) gives that time then
string(TIMESTAMP KQ_SOURCE_DATE "%Y-%m-%d" UTC)
message(STATUS "The sources' date, from ${source}: ${KQ_SOURCE_DATE} (${KQ_SOURCE_DATE_EPOCH})")
