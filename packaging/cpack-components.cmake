# Read by CPack for each generator: the zip holds the Windows programs, the .deb kqconvert.
if(CPACK_GENERATOR STREQUAL "ZIP")
    set(CPACK_COMPONENTS_ALL windows)
elseif(CPACK_GENERATOR STREQUAL "DEB")
    set(CPACK_COMPONENTS_ALL kqconvert)
endif()
