# Makes kqconvert-<version>-linux-x86_64.tar.gz, run by the dist build (cmake -P): the statically
# linked kqconvert, its manual page, 使用说明.txt for running it on the host and SHA256SUMS, in a
# folder of the archive's own name. The same bytes from every build of a commit: the modes are set
# here rather than taken from the umask, and tar is given the sources' date, owner 0, the names
# in order; gzip writes no name and no time.
#
#   cmake -DPROGRAM=... -DMANUAL=... -DNOTES=... -DFOLDER=kqconvert-<version>
#         -DSTAGE=<scratch folder> -DOUTPUT=<the .tar.gz> -DEPOCH=<the sources' date> -P linux-tarball.cmake

foreach(name IN ITEMS PROGRAM MANUAL NOTES FOLDER STAGE OUTPUT EPOCH)
    if(NOT DEFINED ${name} OR "${${name}}" STREQUAL "")
        message(FATAL_ERROR "linux-tarball.cmake: ${name} is not given")
    endif()
endforeach()

set(folder ${STAGE}/${FOLDER})
file(REMOVE_RECURSE ${STAGE})
file(MAKE_DIRECTORY ${folder})
file(COPY_FILE ${PROGRAM} ${folder}/kqconvert)
file(COPY_FILE ${MANUAL} ${folder}/kqconvert.1)
file(COPY_FILE ${NOTES} ${folder}/使用说明.txt)

# The checksums of the three files, in the form sha256sum writes and reads.
set(sums "")
foreach(name IN ITEMS kqconvert kqconvert.1 使用说明.txt)
    file(SHA256 ${folder}/${name} hash)
    string(APPEND sums "${hash}  ${name}\n")
endforeach()
file(WRITE ${folder}/SHA256SUMS "${sums}")

set(readable OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
set(runnable ${readable} OWNER_EXECUTE GROUP_EXECUTE WORLD_EXECUTE)
file(CHMOD ${folder} PERMISSIONS ${runnable})
file(CHMOD ${folder}/kqconvert PERMISSIONS ${runnable})
file(CHMOD ${folder}/kqconvert.1 ${folder}/使用说明.txt ${folder}/SHA256SUMS PERMISSIONS ${readable})

get_filename_component(packages ${OUTPUT} DIRECTORY)
file(MAKE_DIRECTORY ${packages})
execute_process(
    COMMAND ${CMAKE_COMMAND} -E env LC_ALL=C TZ=UTC
            tar --create --format=gnu --sort=name --owner=0 --group=0 --numeric-owner
                --mtime=@${EPOCH} --directory=${STAGE} --file=- ${FOLDER}
    COMMAND gzip -9 -n
    OUTPUT_FILE ${OUTPUT}.part
    RESULTS_VARIABLE results)
if(NOT results MATCHES "^0;0$")
    file(REMOVE ${OUTPUT}.part)
    message(FATAL_ERROR "linux-tarball.cmake: tar or gzip failed (${results})")
endif()
file(RENAME ${OUTPUT}.part ${OUTPUT})
