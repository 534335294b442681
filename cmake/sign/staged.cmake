# Run by cpack on the staged files before it packs them (and before their
# dates are set): the programs signed when a certificate is given
# (authenticode.sh), so the zip and the installer hold the signed program.
if(DEFINED ENV{ZORBEL_SIGN_PKCS12})
    file(GLOB_RECURSE programs ${CPACK_TEMPORARY_DIRECTORY}/*.exe)
    foreach(program IN LISTS programs)
        execute_process(COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/authenticode.sh ${program} COMMAND_ERROR_IS_FATAL ANY)
    endforeach()
endif()
