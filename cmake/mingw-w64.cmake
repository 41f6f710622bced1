# Cross-build for 64-bit Windows with Debian's MinGW-w64 (POSIX threads variant).
# The programs and tests run under wine on the build machine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(PX316T_MINGW x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${PX316T_MINGW}-gcc-posix)
set(CMAKE_CXX_COMPILER ${PX316T_MINGW}-g++-posix)
set(CMAKE_RC_COMPILER ${PX316T_MINGW}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${PX316T_MINGW})
# Qt for Windows from scripts/windows-qt.sh; its tools (moc) are Debian's own.
if(PX316T_WINDOWS_QT)
  list(APPEND CMAKE_FIND_ROOT_PATH ${PX316T_WINDOWS_QT})
  list(APPEND CMAKE_PREFIX_PATH ${PX316T_WINDOWS_QT})
  set(QT_HOST_PATH /usr)
  set(QT_HOST_PATH_CMAKE_DIR /usr/lib/x86_64-linux-gnu/cmake)
endif()
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
# The C and C++ runtimes and the thread library go into each program, so a
# program runs with no DLL of the compiler beside it.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
