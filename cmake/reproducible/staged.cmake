# Run by cpack on the staged files, before it packs them: every file dated
# SOURCE_DATE_EPOCH, since installers and zips record the dates.
if(CPACK_ZORBEL_SOURCE_DATE_EPOCH)
    execute_process(COMMAND find ${CPACK_TEMPORARY_DIRECTORY} -exec touch -h -d @${CPACK_ZORBEL_SOURCE_DATE_EPOCH} {} +
        COMMAND_ERROR_IS_FATAL ANY)
endif()
