# Cross-compiling for 64-bit Windows with Debian's MinGW-w64. The -posix compilers are the ones
# with std::thread and std::mutex, which Qt 6 needs; the -win32 ones lack them.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(CIPHERLOOM_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${CIPHERLOOM_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${CIPHERLOOM_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${CIPHERLOOM_MINGW_TRIPLE}-windres)
set(CMAKE_STRIP ${CIPHERLOOM_MINGW_TRIPLE}-strip)

# Libraries and headers come only from the MinGW sysroot (and the Qt prefix Qt's own toolchain file
# adds); build tools such as moc come from the host.
list(APPEND CMAKE_FIND_ROOT_PATH /usr/${CIPHERLOOM_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Qt for the target, from the cache scripts/build-qt-mingw.sh fills (the static Qt unless another
# prefix is named, such as the DLL build's). moc, rcc and uic are the build machine's own, of the
# same version.
if(NOT CIPHERLOOM_QT_MINGW_PREFIX)
    if(DEFINED ENV{CIPHERLOOM_QT_MINGW_PREFIX})
        set(CIPHERLOOM_QT_MINGW_PREFIX $ENV{CIPHERLOOM_QT_MINGW_PREFIX})
    elseif(DEFINED ENV{CIPHERLOOM_TOOLCHAIN_DIR})
        set(CIPHERLOOM_QT_MINGW_PREFIX $ENV{CIPHERLOOM_TOOLCHAIN_DIR}/qt-6.4.2-mingw-w64-static)
    else()
        set(CIPHERLOOM_QT_MINGW_PREFIX $ENV{HOME}/.cache/cipherloom/qt-6.4.2-mingw-w64-static)
    endif()
endif()
if(EXISTS ${CIPHERLOOM_QT_MINGW_PREFIX}/lib/cmake/Qt6)
    list(APPEND CMAKE_FIND_ROOT_PATH ${CIPHERLOOM_QT_MINGW_PREFIX})
    list(APPEND CMAKE_PREFIX_PATH ${CIPHERLOOM_QT_MINGW_PREFIX})
    set(QT_HOST_PATH /usr)
    set(QT_HOST_PATH_CMAKE_DIR /usr/lib/${CMAKE_HOST_SYSTEM_PROCESSOR}-linux-gnu/cmake)
endif()

# Test programs run through Wine when CTest starts them.
find_program(CIPHERLOOM_WINE wine)
if(CIPHERLOOM_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${CIPHERLOOM_WINE})
endif()
