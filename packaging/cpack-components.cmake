# Read by CPack for each generator: the zip holds the Windows programs, the .deb kqconvert.
if(CPACK_GENERATOR STREQUAL "ZIP")
    set(CPACK_COMPONENTS_ALL windows)
elseif(CPACK_GENERATOR STREQUAL "DEB")
    set(CPACK_COMPONENTS_ALL kqconvert)
endif()

# The same bytes from every build of one commit, whatever the environment cpack runs in: every
# time in both archives is the sources' date (CPack reads SOURCE_DATE_EPOCH), the zip's local
# times are taken in UTC, and file names are read as UTF-8.
set(ENV{SOURCE_DATE_EPOCH} ${CPACK_KQ_SOURCE_DATE_EPOCH})
set(ENV{TZ} UTC)
set(ENV{LC_ALL} C.UTF-8)
