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
