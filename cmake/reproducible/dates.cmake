# Read by cpack for each generator, before it installs the files to pack:
# the dates the packers and the stripping write (a stripped Windows program
# carries a time in its header) come from SOURCE_DATE_EPOCH, and zip dates,
# stored as local time, are in UTC.
set(ENV{TZ} UTC)
if(CPACK_ZORBEL_SOURCE_DATE_EPOCH)
    set(ENV{SOURCE_DATE_EPOCH} ${CPACK_ZORBEL_SOURCE_DATE_EPOCH})
endif()
