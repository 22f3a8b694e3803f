# Cross-compiling for 64-bit Windows with Debian's MinGW-w64 (POSIX threads).
# The Qt prefix is passed as CMAKE_PREFIX_PATH; it is searched as a find root as well, so the
# prefix works wherever it is unpacked.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(_mingw x86_64-w64-mingw32)
# The -posix compilers explicitly: the Qt DLLs and libstdc++-6.dll come from that flavour, and the
# win32 flavour lacks std::thread.
set(CMAKE_C_COMPILER ${_mingw}-gcc-posix)
set(CMAKE_CXX_COMPILER ${_mingw}-g++-posix)
set(CMAKE_RC_COMPILER ${_mingw}-windres)

list(APPEND CMAKE_FIND_ROOT_PATH /usr/${_mingw} ${CMAKE_PREFIX_PATH})
# Programs (moc, uic, rcc) are the host's; everything else comes from the target roots.
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
