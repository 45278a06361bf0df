# What is shipped, made by CPack from a native release build (preset dist):
#   kqconvert_<version>_amd64.deb          kqconvert, its manual page and the README
#   kqwizard-<version>-windows-x64.zip     kqwizard.exe and kqconvert.exe of the windows build
#                                          (KQ_WINDOWS_BUILD), 使用说明.txt and SHA256SUMS
# `cmake --install` of the component kqconvert honours DESTDIR and CMAKE_INSTALL_PREFIX.

include(GNUInstallDirs)
set(KQ_WINDOWS_BUILD "" CACHE PATH "The windows build whose kqwizard.exe and kqconvert.exe are shipped")
set(KQ_PACKAGING_DIR ${PROJECT_SOURCE_DIR}/packaging)

# --- kqconvert for Debian ---
install(TARGETS kqconvert RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT kqconvert)
set(KQ_VERSION ${PROJECT_VERSION})
configure_file(${KQ_PACKAGING_DIR}/kqconvert.1 ${CMAKE_CURRENT_BINARY_DIR}/kqconvert.1 @ONLY)
add_custom_command(OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/kqconvert.1.gz
                   COMMAND gzip -9nfk ${CMAKE_CURRENT_BINARY_DIR}/kqconvert.1
                   DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/kqconvert.1)
add_custom_target(kqconvert_manual ALL DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/kqconvert.1.gz)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/kqconvert.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1
        COMPONENT kqconvert)
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/kqconvert
        COMPONENT kqconvert)

# --- kqwizard for Windows users ---
if(KQ_WINDOWS_BUILD)
    set(shipped ${KQ_WINDOWS_BUILD}/src/app/kqwizard.exe ${KQ_WINDOWS_BUILD}/src/app/kqconvert.exe
                "${KQ_PACKAGING_DIR}/使用说明.txt")
    install(FILES ${shipped} DESTINATION . COMPONENT windows)
    # The checksums of the three files, beside them, in the form sha256sum writes and reads.
    install(CODE "
        set(sums \"\")
        foreach(file IN ITEMS ${shipped})
            file(SHA256 \"\${file}\" hash)
            get_filename_component(name \"\${file}\" NAME)
            string(APPEND sums \"\${hash}  \${name}\\n\")
        endforeach()
        file(WRITE \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/SHA256SUMS\" \"\${sums}\")
    " COMPONENT windows)
    # The packages as a user gets them (make test).
    add_test(NAME shipped COMMAND ${PROJECT_SOURCE_DIR}/tests/shipped/check-shipped.sh
                                  ${CMAKE_BINARY_DIR} ${KQ_WINDOWS_BUILD})
    set_tests_properties(shipped PROPERTIES TIMEOUT 300)
endif()

set(CPACK_PACKAGE_NAME kqwizard)
set(CPACK_PACKAGE_VENDOR "kqwizard")
set(CPACK_PACKAGE_CONTACT "kqwizard <kqwizard@${KQ_HOST_NAME}>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "adapts the CGI scripts of a KQ7100 forum site to the standard CGI module, in place")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_GENERATOR "ZIP;DEB")
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/packages)

set(CPACK_ARCHIVE_COMPONENT_INSTALL ON)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
set(CPACK_ARCHIVE_WINDOWS_FILE_NAME kqwizard-${PROJECT_VERSION}-windows-x64)

set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_KQCONVERT_PACKAGE_NAME kqconvert)
set(CPACK_DEBIAN_KQCONVERT_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION web)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The long description, under the summary line.
set(CPACK_COMPONENT_KQCONVERT_DESCRIPTION
    "kqconvert rewrites, in place, the Perl CGI scripts of a KQ7100 forum site so
that they use Perl's standard CGI module instead of the package's own KQCGI,
find their folder from their own path and read uploads with plain Perl.
Every script is written whole or not at all; a second run changes nothing.")
# Each generator ships only its own component (packaging/cpack-components.cmake).
set(CPACK_PROJECT_CONFIG_FILE ${KQ_PACKAGING_DIR}/cpack-components.cmake)
include(CPack)
