# Run by cpack after packing: the SHA-256 of each package.
foreach(package IN LISTS CPACK_PACKAGE_FILES)
    file(SHA256 ${package} sha256)
    get_filename_component(name ${package} NAME)
    message(STATUS "SHA-256 ${sha256}  ${name}")
endforeach()
