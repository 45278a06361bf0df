cmake_minimum_required(VERSION 3.25)
# Script mode: cmake -D OBJDUMP=<objdump> -D "EXECUTABLES=<a.exe|b.exe>" -P check-system-dlls.cmake
# Fails, naming the executable and the DLL, when an executable imports a DLL that is not part of
# Windows itself (a compiler runtime such as libstdc++-6.dll or libwinpthread-1.dll, say).

set(system_dlls
    advapi32.dll bcrypt.dll comctl32.dll comdlg32.dll crypt32.dll dwmapi.dll gdi32.dll imm32.dll
    kernel32.dll msvcrt.dll ntdll.dll ole32.dll oleaut32.dll rpcrt4.dll secur32.dll shell32.dll
    shlwapi.dll ucrtbase.dll user32.dll userenv.dll uxtheme.dll version.dll winmm.dll ws2_32.dll)

string(REPLACE "|" ";" EXECUTABLES "${EXECUTABLES}")
if(NOT EXECUTABLES)
    message(FATAL_ERROR "No executable given to check")
endif()

set(problems "")
foreach(exe IN LISTS EXECUTABLES)
    get_filename_component(exe_name "${exe}" NAME)
    if(NOT EXISTS "${exe}")
        string(APPEND problems "\n  ${exe_name}: not built (${exe})")
        continue()
    endif()
    execute_process(COMMAND "${OBJDUMP}" -p "${exe}" OUTPUT_VARIABLE headers
                    RESULT_VARIABLE result ERROR_VARIABLE errors)
    if(NOT result EQUAL 0)
        string(APPEND problems "\n  ${exe_name}: ${OBJDUMP} failed: ${errors}")
        continue()
    endif()
    string(REGEX MATCHALL "DLL Name: [^\r\n]+" imports "${headers}")
    if(NOT imports)
        string(APPEND problems "\n  ${exe_name}: no imported DLL found; not a Windows executable?")
    endif()
    foreach(import IN LISTS imports)
        string(REGEX REPLACE "^DLL Name: " "" dll "${import}")
        string(STRIP "${dll}" dll)
        string(TOLOWER "${dll}" dll_lower)
        if(NOT dll_lower IN_LIST system_dlls AND NOT dll_lower MATCHES "^api-ms-win-")
            string(APPEND problems "\n  ${exe_name} needs ${dll}, which Windows does not have")
        endif()
    endforeach()
endforeach()

if(problems)
    message(FATAL_ERROR "Executables that would not start on a bare Windows:${problems}")
endif()
list(LENGTH EXECUTABLES count)
message(STATUS "${count} executable(s) import only system DLLs")
