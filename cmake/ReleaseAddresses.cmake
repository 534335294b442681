# Where the project is published. Each comes from CMake (-DNAME=…) or else
# from the environment variable of the same name; an empty one is left out of
# every listing that would carry it, so nothing is invented.
#
#   ZORBEL_HOMEPAGE_URL     the project's homepage
#   ZORBEL_BUGTRACKER_URL   where bugs are reported
#   ZORBEL_SCREENSHOTS_URL  the base URL the screenshots are published under
#   ZORBEL_INSTALLER_URL    the base URL the Windows installers are published under
foreach(address ZORBEL_HOMEPAGE_URL ZORBEL_BUGTRACKER_URL ZORBEL_SCREENSHOTS_URL ZORBEL_INSTALLER_URL)
    if(NOT DEFINED ${address} AND NOT "$ENV{${address}}" STREQUAL "")
        set(${address} "$ENV{${address}}")
    endif()
    set(${address} "${${address}}" CACHE STRING "Release address (empty: not published)")
    # Written as they are into XML, Debian's control file and the installer:
    # a web address of the characters a URL may hold, and so nothing that
    # ends a line, a field or an element there.
    if(NOT ${address} STREQUAL "" AND NOT ${address} MATCHES "^https?://[-A-Za-z0-9._~:/?#@!$&'()*+,;=%]+$")
        message(FATAL_ERROR "${address} is not an http or https address: \"${${address}}\"")
    endif()
endforeach()
