# Run by cpack after packing, when the address the installers are published
# under is known: winget's manifest of the installer (schema 1.6.0, one file
# each for the version, the default locale and the installer) in
# PACKAGE_DIRECTORY/winget. One installer, listed once per scope with the
# switches that choose it, and the SHA-256 of the signed file.
if("${CPACK_ZORBEL_INSTALLER_URL}" STREQUAL "")
    return()
endif()
set(installer "")
foreach(package IN LISTS CPACK_PACKAGE_FILES)
    if(package MATCHES "-setup\\.exe$")
        set(installer ${package})
    endif()
endforeach()
if(installer STREQUAL "")
    return()
endif()

# A YAML scalar in single quotes, where only a quote needs doubling.
function(yaml out text)
    string(REPLACE "'" "''" text "${text}")
    set(${out} "'${text}'" PARENT_SCOPE)
endfunction()

file(SHA256 ${installer} sha256)
string(TOUPPER ${sha256} sha256)
get_filename_component(name ${installer} NAME)
string(REGEX REPLACE "/+$" "" url "${CPACK_ZORBEL_INSTALLER_URL}")
yaml(url "${url}/${name}")
yaml(id "${CPACK_ZORBEL_WINGET_ID}")
yaml(version "${CPACK_PACKAGE_VERSION}")
yaml(publisher "${CPACK_PACKAGE_VENDOR}")
yaml(package_name "${CPACK_PACKAGE_NAME}")
yaml(summary "${CPACK_PACKAGE_DESCRIPTION_SUMMARY}")
set(head "# Written by the build from the installer it packed.\nPackageIdentifier: ${id}\nPackageVersion: ${version}\n")
set(tail "ManifestVersion: 1.6.0\n")
set(folder ${CPACK_PACKAGE_DIRECTORY}/winget)
file(REMOVE_RECURSE ${folder})

file(WRITE ${folder}/${CPACK_ZORBEL_WINGET_ID}.yaml
    "${head}DefaultLocale: en-US\nManifestType: version\n${tail}")

set(locale "${head}PackageLocale: en-US\nPublisher: ${publisher}\nPackageName: ${package_name}\n")
string(APPEND locale "License: MIT\nShortDescription: ${summary}\n")
if(NOT "${CPACK_ZORBEL_HOMEPAGE_URL}" STREQUAL "")
    yaml(homepage "${CPACK_ZORBEL_HOMEPAGE_URL}")
    string(APPEND locale "PackageUrl: ${homepage}\n")
endif()
file(WRITE ${folder}/${CPACK_ZORBEL_WINGET_ID}.locale.en-US.yaml "${locale}ManifestType: defaultLocale\n${tail}")

# The uninstall entry's key is what winget matches an installed copy by.
set(installers "${head}InstallerType: nullsoft\nProductCode: ${package_name}\nInstallers:\n")
foreach(scope user machine)
    if(scope STREQUAL user)
        set(switch /CurrentUser)
    else()
        set(switch /AllUsers)
    endif()
    string(APPEND installers "- Architecture: ${CPACK_ZORBEL_WINGET_ARCH}\n  Scope: ${scope}\n")
    if(scope STREQUAL machine)
        # The installer asks for no elevation, and refuses this scope without it.
        string(APPEND installers "  ElevationRequirement: elevationRequired\n")
    endif()
    string(APPEND installers "  InstallerUrl: ${url}\n  InstallerSha256: ${sha256}\n"
        "  InstallerSwitches:\n    Silent: /S\n    SilentWithProgress: /S\n    Custom: ${switch}\n")
endforeach()
file(WRITE ${folder}/${CPACK_ZORBEL_WINGET_ID}.installer.yaml "${installers}ManifestType: installer\n${tail}")
message(STATUS "winget manifest of ${name}: ${folder}")
