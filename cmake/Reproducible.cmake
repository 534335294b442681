# What makes two builds of the same commit give the same bytes, wherever and
# whenever they run: no build path in the objects, no link time in a Windows
# program, and package dates taken from the release (SOURCE_DATE_EPOCH),
# in UTC. Included before include(CPack) by each platform's packaging.
# Every package and the program print their SHA-256, to check a download
# against a rebuild.

# SOURCE_DATE_EPOCH from the environment wins, as everywhere; otherwise the
# date of the newest release in desktop/changelog. A clone and a tarball of
# the same commit (`git archive`, no history) both have that one, so they
# pack to the same bytes.
set(changelog ${PROJECT_SOURCE_DIR}/desktop/changelog)
if(NOT "$ENV{SOURCE_DATE_EPOCH}" STREQUAL "")
    set(ZORBEL_SOURCE_DATE_EPOCH $ENV{SOURCE_DATE_EPOCH})
    set(ZORBEL_SOURCE_DATE_FROM SOURCE_DATE_EPOCH)
else()
    set(ZORBEL_SOURCE_DATE_EPOCH "")
    set(ZORBEL_SOURCE_DATE_FROM desktop/changelog)
    # A new release configures again, for its date.
    set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${changelog})
    # The newest entry's trailer line: " -- Name <address>  Tue, 08 Dec 2026 12:00:00 +0000".
    file(STRINGS ${changelog} trailer REGEX "^ -- " LIMIT_COUNT 1)
    set(months Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec)
    if(trailer MATCHES "  [A-Z][a-z][a-z], ([0-9]?[0-9]) ([A-Z][a-z][a-z]) ([0-9][0-9][0-9][0-9]) ([0-9][0-9]):([0-9][0-9]):([0-9][0-9]) ([+-])([0-9][0-9])([0-9][0-9])$"
       AND CMAKE_MATCH_2 IN_LIST months)
        list(FIND months ${CMAKE_MATCH_2} month)
        math(EXPR month "${month} + 1")
        # Days since 1970-01-01 of the civil date (the proleptic Gregorian
        # calendar, years counted from March so that leap days come last).
        set(year ${CMAKE_MATCH_3})
        if(month LESS_EQUAL 2)
            math(EXPR year "${year} - 1")
            math(EXPR month "${month} + 9")
        else()
            math(EXPR month "${month} - 3")
        endif()
        math(EXPR days "${year} * 365 + ${year} / 4 - ${year} / 100 + ${year} / 400
            + (153 * ${month} + 2) / 5 + ${CMAKE_MATCH_1} - 1 - 719468")
        # The time is local to the offset that follows it.
        math(EXPR ZORBEL_SOURCE_DATE_EPOCH "${days} * 86400 + ${CMAKE_MATCH_4} * 3600 + ${CMAKE_MATCH_5} * 60
            + ${CMAKE_MATCH_6} - (${CMAKE_MATCH_7}1) * (${CMAKE_MATCH_8} * 3600 + ${CMAKE_MATCH_9} * 60)")
    endif()
endif()
if(NOT ZORBEL_SOURCE_DATE_EPOCH MATCHES "^[0-9]+$")
    message(WARNING "No SOURCE_DATE_EPOCH and no date in the newest entry of ${changelog}: the packages carry today's dates")
    set(ZORBEL_SOURCE_DATE_EPOCH "")
endif()
set(CPACK_ZORBEL_SOURCE_DATE_EPOCH ${ZORBEL_SOURCE_DATE_EPOCH})
set(CPACK_ZORBEL_SOURCE_DATE_FROM ${ZORBEL_SOURCE_DATE_FROM})
# A packaging that reads a project file of its own includes this one from it.
set(CPACK_ZORBEL_DATES ${CMAKE_CURRENT_LIST_DIR}/reproducible/dates.cmake)
if(NOT CPACK_PROJECT_CONFIG_FILE)
    set(CPACK_PROJECT_CONFIG_FILE ${CPACK_ZORBEL_DATES})
endif()
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/reproducible/staged.cmake)
set(CPACK_POST_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/reproducible/checksums.cmake)
