# Project-wide settings applied per target, never directory-wide.

option(CIPHERLOOM_WERROR "Treat compiler warnings as errors" OFF)
set(CIPHERLOOM_SANITIZE "" CACHE STRING "Sanitizers for every target, e.g. address,undefined")

function(cipherloom_configure_target target)
    target_compile_features(${target} PUBLIC cxx_std_20)
    set_target_properties(${target} PROPERTIES CXX_EXTENSIONS OFF)
    if(MSVC)
        target_compile_options(${target} PRIVATE /W4 /utf-8 /permissive-)
        if(CIPHERLOOM_WERROR)
            target_compile_options(${target} PRIVATE /WX)
        endif()
    else()
        target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow
                                                 -Wnon-virtual-dtor -Wold-style-cast)
        if(CIPHERLOOM_WERROR)
            target_compile_options(${target} PRIVATE -Werror)
        endif()
        if(CIPHERLOOM_SANITIZE)
            target_compile_options(${target} PRIVATE -fsanitize=${CIPHERLOOM_SANITIZE}
                                                     -fno-omit-frame-pointer
                                                     -fno-sanitize-recover=all)
            target_link_options(${target} PRIVATE -fsanitize=${CIPHERLOOM_SANITIZE})
        endif()
    endif()
endfunction()

# A Windows program on the static Qt holds all it needs: the platform plugin and the style (and
# whatever platforms a test program adds), the MinGW runtime, and only the sections it uses. Qt's
# image format plugins are left out: the window icons are PNGs, which Qt Gui reads itself.
function(cipherloom_windows_program target)
    if(NOT (MINGW AND CIPHERLOOM_STATIC_QT))
        return()
    endif()
    qt_import_plugins(${target}
        INCLUDE Qt6::QWindowsIntegrationPlugin Qt6::QWindowsVistaStylePlugin ${ARGN}
        EXCLUDE_BY_TYPE imageformats)
    target_link_options(${target} PRIVATE -static -Wl,--gc-sections)
endfunction()
