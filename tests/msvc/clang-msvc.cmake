# A project of Microsoft's toolchain without its SDK: clang for x86_64-pc-windows-msvc
# (given as CMAKE_CXX_COMPILER), lld-link, and programs that need no C runtime.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(CMAKE_CXX_COMPILER_TARGET x86_64-pc-windows-msvc)
# Without the SDK's libraries no test program links, and none is needed.
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)
set(CMAKE_CXX_STANDARD_LIBRARIES "" CACHE STRING "")
set(CMAKE_CXX_FLAGS_INIT "-ffreestanding -fno-exceptions -fno-rtti -fno-stack-protector")
set(CMAKE_EXE_LINKER_FLAGS_INIT
  "-fuse-ld=lld -nostdlib -Wl,/nodefaultlib,/entry:start,/subsystem:console")
