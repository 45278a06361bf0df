# What is shipped, made by CPack from a native release build (preset dist):
#   kqconvert_<version>_amd64.deb          kqconvert, its manual page, the README, the copyright
#                                          file and the changelog made from CHANGELOG.md
#   kqwizard-<version>-windows-x64.zip     kqwizard.exe and kqconvert.exe of the windows build
#                                          (KQ_WINDOWS_BUILD), 使用说明.txt and SHA256SUMS
# and by the build itself, when it links kqconvert statically too (KQ_STATIC_KQCONVERT):
#   kqconvert-<version>-linux-x86_64.tar.gz  that kqconvert, its manual page, 使用说明.txt for
#                                          running it on the host, and SHA256SUMS
# Two builds of one commit give the same bytes: every time in the packages is the sources' date.
# `cmake --install` of the component kqconvert honours DESTDIR and CMAKE_INSTALL_PREFIX.

include(GNUInstallDirs)
set(KQ_WINDOWS_BUILD "" CACHE PATH "The windows build whose kqwizard.exe and kqconvert.exe are shipped")
set(KQ_PACKAGING_DIR ${PROJECT_SOURCE_DIR}/packaging)
set(KQ_MAINTAINER "kqwizard <kqwizard@${KQ_HOST_NAME}>")

include(${CMAKE_CURRENT_LIST_DIR}/SourceDate.cmake)

# --- kqconvert for Debian ---
install(TARGETS kqconvert RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT kqconvert)
set(KQ_VERSION ${PROJECT_VERSION})
configure_file(${KQ_PACKAGING_DIR}/kqconvert.1 ${CMAKE_CURRENT_BINARY_DIR}/kqconvert.1 @ONLY)
add_custom_command(OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/kqconvert.1.gz
                   COMMAND gzip -9nfk ${CMAKE_CURRENT_BINARY_DIR}/kqconvert.1
                   DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/kqconvert.1)
# The changelog of a package whose version has no Debian revision is changelog.gz.
set(changelog ${PROJECT_SOURCE_DIR}/CHANGELOG.md)
add_custom_command(OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/changelog.gz
                   COMMAND ${KQ_PACKAGING_DIR}/debian-changelog.sh ${changelog} kqconvert
                           ${PROJECT_VERSION} ${KQ_MAINTAINER} ${KQ_SOURCE_DATE_EPOCH}
                           > ${CMAKE_CURRENT_BINARY_DIR}/changelog
                   COMMAND gzip -9nf ${CMAKE_CURRENT_BINARY_DIR}/changelog
                   DEPENDS ${changelog} ${KQ_PACKAGING_DIR}/debian-changelog.sh VERBATIM)
add_custom_target(kqconvert_documents ALL DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/kqconvert.1.gz
                                                  ${CMAKE_CURRENT_BINARY_DIR}/changelog.gz)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/kqconvert.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1
        COMPONENT kqconvert)
install(FILES ${PROJECT_SOURCE_DIR}/README.md ${KQ_PACKAGING_DIR}/copyright
              ${CMAKE_CURRENT_BINARY_DIR}/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/kqconvert COMPONENT kqconvert)

# --- kqconvert for any Linux host, to be unpacked and run without root ---
if(TARGET kqconvert_static)
    set(KQ_LINUX_TARBALL ${CMAKE_BINARY_DIR}/packages/kqconvert-${PROJECT_VERSION}-linux-x86_64.tar.gz)
    configure_file("${KQ_PACKAGING_DIR}/使用说明-linux.txt" "${CMAKE_CURRENT_BINARY_DIR}/使用说明-linux.txt"
                   @ONLY)
    add_custom_command(OUTPUT ${KQ_LINUX_TARBALL}
                       COMMAND ${CMAKE_COMMAND} -DPROGRAM=$<TARGET_FILE:kqconvert_static>
                               -DMANUAL=${CMAKE_CURRENT_BINARY_DIR}/kqconvert.1
                               "-DNOTES=${CMAKE_CURRENT_BINARY_DIR}/使用说明-linux.txt"
                               -DFOLDER=kqconvert-${PROJECT_VERSION}
                               -DSTAGE=${CMAKE_CURRENT_BINARY_DIR}/linux-tarball
                               -DOUTPUT=${KQ_LINUX_TARBALL} -DEPOCH=${KQ_SOURCE_DATE_EPOCH}
                               -P ${KQ_PACKAGING_DIR}/linux-tarball.cmake
                       DEPENDS kqconvert_static ${CMAKE_CURRENT_BINARY_DIR}/kqconvert.1
                               "${CMAKE_CURRENT_BINARY_DIR}/使用说明-linux.txt"
                               ${KQ_PACKAGING_DIR}/linux-tarball.cmake
                       VERBATIM)
    add_custom_target(linux_tarball ALL DEPENDS ${KQ_LINUX_TARBALL})
endif()

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
    # The same packages from a second build elsewhere; both tests run cpack in this build.
    add_test(NAME reproducible COMMAND ${PROJECT_SOURCE_DIR}/tests/shipped/check-reproducible.sh
                                       ${CMAKE_BINARY_DIR} ${KQ_WINDOWS_BUILD})
    set_tests_properties(shipped PROPERTIES TIMEOUT 300 RESOURCE_LOCK packages)
    set_tests_properties(reproducible PROPERTIES TIMEOUT 900 RESOURCE_LOCK packages)
endif()

set(CPACK_PACKAGE_NAME kqwizard)
set(CPACK_PACKAGE_VENDOR "kqwizard")
set(CPACK_PACKAGE_CONTACT ${KQ_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "adapts a KQ7100 forum's CGI scripts to Perl's standard CGI module")
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
# Each generator ships only its own component, and every file time is the sources' date
# (packaging/cpack-components.cmake).
set(CPACK_KQ_SOURCE_DATE_EPOCH ${KQ_SOURCE_DATE_EPOCH})
set(CPACK_PROJECT_CONFIG_FILE ${KQ_PACKAGING_DIR}/cpack-components.cmake)
include(CPack)
