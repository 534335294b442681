# The Windows packages: an installer (NSIS) that puts Zorbel.exe under
# Program Files with a Start-menu entry and an uninstaller, and a zip holding
# the lone Zorbel.exe. `cmake --build BUILD --target package` makes both.
install(TARGETS Zorbel RUNTIME DESTINATION .)

# What the uninstaller cannot remove while it runs, this removes after it
# (cmake/nsis/remover.cpp); the uninstaller carries it.
add_executable(remover WIN32 ${CMAKE_CURRENT_LIST_DIR}/nsis/remover.cpp)
set_target_properties(remover PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/installer)
set(CPACK_ZORBEL_REMOVER ${CMAKE_BINARY_DIR}/installer/remover.exe)

set(CPACK_GENERATOR NSIS ZIP)
set(CPACK_PACKAGE_NAME ${ZORBEL_PRODUCT_NAME})
set(CPACK_PACKAGE_VENDOR ${ZORBEL_COMPANY_NAME})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "basketball that falls and bounces in a window")
set(CPACK_PACKAGE_INSTALL_DIRECTORY ${ZORBEL_PRODUCT_NAME})
set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY ${ZORBEL_PRODUCT_NAME})
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)
# The zip holds Zorbel.exe alone, not inside a folder.
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(ZORBEL_PACKAGE_ARCH win64)
else()
    set(ZORBEL_PACKAGE_ARCH win32)
endif()
set(CPACK_PACKAGE_FILE_NAME ${ZORBEL_PRODUCT_NAME}-${CPACK_PACKAGE_VERSION}-${ZORBEL_PACKAGE_ARCH})

# The Start-menu entry shows the program's own icon, the ball.
set(CPACK_PACKAGE_EXECUTABLES Zorbel ${ZORBEL_PRODUCT_NAME})
set(CPACK_NSIS_EXECUTABLES_DIRECTORY .)
set(CPACK_NSIS_DISPLAY_NAME ${ZORBEL_PRODUCT_NAME})
set(CPACK_NSIS_PACKAGE_NAME ${ZORBEL_PRODUCT_NAME})
set(CPACK_NSIS_INSTALLED_ICON_NAME Zorbel.exe)
set(CPACK_NSIS_MUI_ICON ${PROJECT_SOURCE_DIR}/assets/ball.ico)
set(CPACK_NSIS_MUI_UNIICON ${PROJECT_SOURCE_DIR}/assets/ball.ico)
set(CPACK_NSIS_MANIFEST_DPI_AWARE ON)
if(ZORBEL_PACKAGE_ARCH STREQUAL win64)
    # makensis builds 32-bit installers unless told otherwise, and those do
    # not run where only 64-bit Windows programs do (64-bit Wine alone).
    set(CPACK_NSIS_DEFINES "Target amd64-unicode")
    set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
else()
    set(CPACK_NSIS_DEFINES "Unicode true")
    set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES")
endif()
# Our own installer script (cmake/nsis/NSIS.template.in): per-user or
# machine-wide, and careful with a running program.
list(APPEND CMAKE_MODULE_PATH ${CMAKE_CURRENT_LIST_DIR}/nsis)
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_LIST_DIR}/WindowsPackageNames.cmake)

# The installer's own version record, with the program's values.
set(CPACK_ZORBEL_FILE_VERSION ${PROJECT_VERSION})
set(CPACK_ZORBEL_VERSION_TEXT ${ZORBEL_VERSION_TEXT})
math(EXPR CPACK_ZORBEL_LANGUAGE_ID "${ZORBEL_LANGUAGE_ID}" OUTPUT_FORMAT DECIMAL)
# NSIS wants a copyright in it: the licence's own line.
file(STRINGS ${CPACK_RESOURCE_FILE_LICENSE} CPACK_ZORBEL_COPYRIGHT REGEX "^Copyright" LIMIT_COUNT 1)

include(${CMAKE_CURRENT_LIST_DIR}/Reproducible.cmake)
# The homepage goes in the uninstall entry and, with the address the
# installers are published under, a winget manifest of the installer is
# written (cmake/winget.cmake) once it is packed and signed. Each is left
# unset when empty, so that `cpack -D` can give one.
foreach(address HOMEPAGE_URL INSTALLER_URL)
    if(NOT ZORBEL_${address} STREQUAL "")
        set(CPACK_ZORBEL_${address} ${ZORBEL_${address}})
    endif()
endforeach()
set(CPACK_ZORBEL_WINGET_ID ${ZORBEL_COMPANY_NAME}.${ZORBEL_PRODUCT_NAME})
if(ZORBEL_PACKAGE_ARCH STREQUAL win64)
    set(CPACK_ZORBEL_WINGET_ARCH x64)
else()
    set(CPACK_ZORBEL_WINGET_ARCH x86)
endif()
list(APPEND CPACK_POST_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/winget.cmake)
# Signed with Authenticode when the environment names a certificate at
# packing time (cmake/sign/authenticode.sh); the staged program before its
# dates are set.
set(CPACK_ZORBEL_SIGN_SCRIPT ${CMAKE_CURRENT_LIST_DIR}/sign/authenticode.sh)
list(PREPEND CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/sign/staged.cmake)
include(CPack)
