# Read by cpack once per generator: the dates it writes
# (cmake/reproducible/dates.cmake), and the installer's name says what it is,
# beside the program it installs.
include(${CPACK_ZORBEL_DATES})
if(CPACK_GENERATOR STREQUAL "NSIS")
    string(APPEND CPACK_PACKAGE_FILE_NAME -setup)
endif()

