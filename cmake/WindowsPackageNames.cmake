# Read by cpack once per generator: the installer's name says what it is,
# beside the program it installs.
if(CPACK_GENERATOR STREQUAL "NSIS")
    string(APPEND CPACK_PACKAGE_FILE_NAME -setup)
endif()
