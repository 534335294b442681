# Read by cpack once per generator: the dates it writes
# (cmake/reproducible/dates.cmake), and the installer's name says what it is,
# beside the program it installs.
include(${CPACK_ZORBEL_DATES})
if(CPACK_GENERATOR STREQUAL "NSIS")
    string(APPEND CPACK_PACKAGE_FILE_NAME -setup)
    # The homepage as an NSIS string, where `$` and `"` are NSIS's own.
    string(REPLACE "$" "$$" CPACK_ZORBEL_NSIS_HOMEPAGE "${CPACK_ZORBEL_HOMEPAGE_URL}")
    string(REPLACE "\"" "$\\\"" CPACK_ZORBEL_NSIS_HOMEPAGE "${CPACK_ZORBEL_NSIS_HOMEPAGE}")
endif()

# With a certificate (cmake/sign/authenticode.sh), makensis signs the
# uninstaller before it packs it, and the installer once written.
if(CPACK_GENERATOR STREQUAL "NSIS" AND DEFINED ENV{ZORBEL_SIGN_PKCS12})
    set(sign "bash \"${CPACK_ZORBEL_SIGN_SCRIPT}\" \"%1\"")
    set(CPACK_ZORBEL_NSIS_SIGN "!uninstfinalize '${sign}' = 0\n!finalize '${sign}' = 0")
endif()
