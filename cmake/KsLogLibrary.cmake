include(GNUInstallDirs)

# The library's sources are compiled once into an object library; the shared
# library is what applications load, the static one lets tests reach internals.
if(WIN32)
  set(KSLOG_PLATFORM win32)
else()
  set(KSLOG_PLATFORM posix)
endif()

file(GLOB_RECURSE KSLOG_SOURCES CONFIGURE_DEPENDS
  ${PROJECT_SOURCE_DIR}/src/core/*.cpp
  ${PROJECT_SOURCE_DIR}/src/sinks/*.cpp
  ${PROJECT_SOURCE_DIR}/src/duration/*.cpp
  ${PROJECT_SOURCE_DIR}/src/config/*.cpp
  ${PROJECT_SOURCE_DIR}/src/foundation/*.cpp)
file(GLOB KSLOG_PLATFORM_SOURCES CONFIGURE_DEPENDS
  ${PROJECT_SOURCE_DIR}/src/platform/*.cpp
  ${PROJECT_SOURCE_DIR}/src/platform/${KSLOG_PLATFORM}/*.cpp)
list(APPEND KSLOG_SOURCES ${KSLOG_PLATFORM_SOURCES})
# What the Windows DLL adds for applications of Microsoft's toolchain.
list(FILTER KSLOG_SOURCES EXCLUDE REGEX "/src/duration/win32/")
if(WIN32)
  list(APPEND KSLOG_SOURCES ${PROJECT_SOURCE_DIR}/src/duration/win32/MicrosoftNames.cpp)
endif()

add_library(kslog_objects OBJECT ${KSLOG_SOURCES})
set_target_properties(kslog_objects PROPERTIES POSITION_INDEPENDENT_CODE ON)
target_compile_definitions(kslog_objects PUBLIC KSLOG_BUILDING)
target_include_directories(kslog_objects PUBLIC
  ${PROJECT_SOURCE_DIR}/include ${PROJECT_SOURCE_DIR}/src)
set(KSLOG_ALL_OBJECTS $<TARGET_OBJECTS:kslog_objects>)

if(WIN32)
  set(KSLOG_SYSTEM_LIBS ws2_32 iphlpapi shell32)
else()
  set(KSLOG_SYSTEM_LIBS pthread)
endif()

# The fuzz build instruments everything; it links targets against the static library only.
if(KSLOG_FUZZ)
  set(KSLOG_SHARED_EXCLUDE EXCLUDE_FROM_ALL)
endif()
add_library(kslog SHARED ${KSLOG_SHARED_EXCLUDE} ${KSLOG_ALL_OBJECTS})
target_include_directories(kslog PUBLIC $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}/include>
  $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)
# libkslog.so.0 -> libkslog.so.0.1: the interface is C, compatible within a major version.
set_target_properties(kslog PROPERTIES VERSION ${PROJECT_VERSION}
  SOVERSION ${PROJECT_VERSION_MAJOR})
target_link_libraries(kslog PRIVATE ${KSLOG_SYSTEM_LIBS})
if(WIN32)
  # The DLL must import system DLLs only: no libgcc, libstdc++ or winpthread DLLs.
  set_target_properties(kslog PROPERTIES PREFIX "" IMPORT_PREFIX "")
  # -static: the C++ runtime's exception support pulls winpthread in after the
  # libraries named here, so only a whole-link -static keeps it out of the imports
  # (the system libraries stay DLL imports: their .a files are import libraries).
  target_link_options(kslog PRIVATE -static -static-libgcc -static-libstdc++)
  # ksLogDuration's members also under Microsoft's decorated names.
  set(KSLOG_MICROSOFT_NAMES ${PROJECT_SOURCE_DIR}/src/duration/win32/MicrosoftNames.def)
  target_link_options(kslog PRIVATE ${KSLOG_MICROSOFT_NAMES})
  set_target_properties(kslog PROPERTIES LINK_DEPENDS ${KSLOG_MICROSOFT_NAMES})
  # The linker lists what the DLL exports; from that list come the module definition file
  # beside the DLL (for any toolchain) and the import library in Microsoft's format,
  # kslog.lib, for Microsoft's linker and lld-link (kslog.dll.a is GNU's format).
  set(KSLOG_LINKER_DEF ${CMAKE_CURRENT_BINARY_DIR}/kslog-linker.def)
  target_link_options(kslog PRIVATE -Wl,--output-def,${KSLOG_LINKER_DEF})
  find_program(KSLOG_DLLTOOL NAMES llvm-dlltool llvm-dlltool-14
    DOC "llvm-dlltool, which makes kslog.lib (Debian: llvm)")
  if(NOT KSLOG_DLLTOOL)
    message(WARNING "llvm-dlltool (Debian: llvm) not found: kslog.lib is not made")
    set(KSLOG_DLLTOOL "")
  endif()
  add_custom_command(TARGET kslog POST_BUILD
    COMMAND ${CMAKE_COMMAND} -DLINKER_DEF=${KSLOG_LINKER_DEF}
      -DDEF=$<TARGET_FILE_DIR:kslog>/kslog.def -DDLL=$<TARGET_FILE_NAME:kslog>
      -DDLLTOOL=${KSLOG_DLLTOOL} -DIMPORT_LIBRARY=$<TARGET_LINKER_FILE_DIR:kslog>/kslog.lib
      -P ${PROJECT_SOURCE_DIR}/cmake/KsLogImportLibrary.cmake
    VERBATIM)
else()
  target_link_options(kslog PRIVATE -Wl,--no-undefined
    -Wl,--version-script=${PROJECT_SOURCE_DIR}/cmake/kslog.map)
  set_target_properties(kslog PROPERTIES LINK_DEPENDS ${PROJECT_SOURCE_DIR}/cmake/kslog.map)
endif()

add_library(kslog_static STATIC ${KSLOG_ALL_OBJECTS})
target_include_directories(kslog_static PUBLIC
  ${PROJECT_SOURCE_DIR}/include ${PROJECT_SOURCE_DIR}/src)
target_compile_definitions(kslog_static PUBLIC KSLOG_BUILDING)
target_link_libraries(kslog_static PUBLIC ${KSLOG_SYSTEM_LIBS})
