# What makes two builds of the same commit give the same bytes, wherever and
# whenever they run: no build path in the objects, no link time in a Windows
# program, and package dates taken from the last commit (SOURCE_DATE_EPOCH),
# in UTC. Included before include(CPack) by each platform's packaging.
# Every package and the program print their SHA-256, to check a download
# against a rebuild.

# SOURCE_DATE_EPOCH from the environment wins, as everywhere; otherwise the
# date of the commit the sources come from.
if(NOT "$ENV{SOURCE_DATE_EPOCH}" STREQUAL "")
    set(ZORBEL_SOURCE_DATE_EPOCH $ENV{SOURCE_DATE_EPOCH})
else()
    find_package(Git QUIET)
    if(GIT_FOUND)
        execute_process(COMMAND ${GIT_EXECUTABLE} log -1 --format=%ct
            WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
            OUTPUT_VARIABLE ZORBEL_SOURCE_DATE_EPOCH OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
        # A new commit configures again, for its date.
        execute_process(COMMAND ${GIT_EXECUTABLE} rev-parse --path-format=absolute --git-path logs/HEAD
            WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
            OUTPUT_VARIABLE head_log OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
        if(head_log AND EXISTS ${head_log})
            set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${head_log})
        endif()
    endif()
endif()
if(NOT ZORBEL_SOURCE_DATE_EPOCH MATCHES "^[0-9]+$")
    message(WARNING "No SOURCE_DATE_EPOCH and no commit to take it from: the packages carry today's dates")
    set(ZORBEL_SOURCE_DATE_EPOCH "")
endif()
set(CPACK_ZORBEL_SOURCE_DATE_EPOCH ${ZORBEL_SOURCE_DATE_EPOCH})
# A packaging that reads a project file of its own includes this one from it.
set(CPACK_ZORBEL_DATES ${CMAKE_CURRENT_LIST_DIR}/reproducible/dates.cmake)
if(NOT CPACK_PROJECT_CONFIG_FILE)
    set(CPACK_PROJECT_CONFIG_FILE ${CPACK_ZORBEL_DATES})
endif()
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/reproducible/staged.cmake)
set(CPACK_POST_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/reproducible/checksums.cmake)
