# cmake -DOBJDUMP=<objdump> -DPROGRAM=<file.exe> -DSTAMP=<file> -P CheckSystemImports.cmake
# Fails when PROGRAM imports a DLL that is not part of every Windows installation;
# touches STAMP when it passes.
cmake_minimum_required(VERSION 3.25)
set(allowed
  KERNEL32 USER32 GDI32 SHELL32 OLE32 OLEAUT32 ADVAPI32 COMCTL32 COMDLG32 SHLWAPI VERSION
  MSVCRT UCRTBASE)
# The Universal CRT and core API sets are reached through these forwarders.
set(allowed_patterns "^API-MS-WIN-CRT-[A-Z0-9-]+$" "^API-MS-WIN-CORE-[A-Z0-9-]+$")

execute_process(COMMAND ${OBJDUMP} -p ${PROGRAM}
                OUTPUT_VARIABLE dump RESULT_VARIABLE result ERROR_VARIABLE errors)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "${OBJDUMP} -p ${PROGRAM} failed: ${errors}")
endif()

string(REGEX MATCHALL "DLL Name: [^\r\n]+" entries "${dump}")
if(NOT entries)
  message(FATAL_ERROR "${PROGRAM}: no imported DLL found; is it a Windows program?")
endif()
set(foreign)
foreach(entry IN LISTS entries)
  string(REGEX REPLACE "^DLL Name: *" "" dll "${entry}")
  string(STRIP "${dll}" dll)
  string(TOUPPER "${dll}" name)
  string(REGEX REPLACE "\\.DLL$" "" name "${name}")
  set(ok OFF)
  if(name IN_LIST allowed)
    set(ok ON)
  endif()
  foreach(pattern IN LISTS allowed_patterns)
    if(name MATCHES "${pattern}")
      set(ok ON)
    endif()
  endforeach()
  if(NOT ok)
    list(APPEND foreign "${dll}")
  endif()
endforeach()

if(foreign)
  list(JOIN foreign ", " foreign_text)
  message(FATAL_ERROR "${PROGRAM} imports DLLs that a Windows machine may not have: "
                      "${foreign_text}. Link them statically.")
endif()
file(TOUCH ${STAMP})
