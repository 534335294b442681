# The native Windows build on the plain Win32 API, usually cross-compiled
# with a toolchain file from cmake/toolchains/. No Qt, sound server or
# desktop files: the Win32 layer (window/win32, sound/win32) stands in for
# them and the resource compiler embeds what assets/ holds.
enable_language(RC)

# No link time in the PE header: the same sources link to the same bytes.
# (An option here adds to the toolchain's -static flags, which setting
# CMAKE_EXE_LINKER_FLAGS would replace.)
add_link_options(LINKER:--no-insert-timestamp)

# A cross build runs its tests under Wine, each in a private prefix
# (tests/lib/wine.sh).
if(CMAKE_CROSSCOMPILING AND NOT CMAKE_CROSSCOMPILING_EMULATOR)
    find_program(ZORBEL_BASH bash REQUIRED)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${ZORBEL_BASH} ${PROJECT_SOURCE_DIR}/tests/lib/wine.sh)
endif()
