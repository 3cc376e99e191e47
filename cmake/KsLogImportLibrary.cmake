# Run after the DLL is linked (cmake -P): turns the linker's list of exports (LINKER_DEF)
# into the module definition file DEF and, with llvm-dlltool (DLLTOOL, may be empty), into
# the import library in Microsoft's format (IMPORT_LIBRARY) for the DLL named DLL.
# The linker writes "exported = internal" for names exported under another name; the
# internal name means nothing outside the DLL, so the published file leaves it out.
file(STRINGS ${LINKER_DEF} lines)
set(text "")
foreach(line IN LISTS lines)
  string(REGEX REPLACE " = [^ ]+" "" line "${line}")
  string(APPEND text "${line}\n")
endforeach()
file(WRITE ${DEF} "LIBRARY ${DLL}\n${text}")

if(DLLTOOL)
  execute_process(COMMAND ${DLLTOOL} -m i386:x86-64 -d ${DEF} -D ${DLL} -l ${IMPORT_LIBRARY}
    RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "llvm-dlltool could not make ${IMPORT_LIBRARY}")
  endif()
endif()
