# What the Windows packages carry beside LICENSE and the notices, each third-party file listed for
# the notices (third_party.cmake) as "path in the package=source" or, when linked in, its source.
# The static Qt (the packages): cipherloom.exe alone, with Qt, its plugins, the compiler's runtime
# and Qt's Japanese texts inside. Qt's DLLs (kept to compare against): the DLLs a MinGW build
# needs beside it, and nothing else, since windeployqt does not exist where this is cross-built.
set(third_party_files "")
set(third_party_compiled "")

# A file of the compiler's runtime; those it does not know (winpthread) live in the MinGW sysroot.
function(cipherloom_mingw_file name out)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${name}
        OUTPUT_VARIABLE path OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
    if(NOT IS_ABSOLUTE "${path}")
        find_file(mingw_path_${name} ${name} PATH_SUFFIXES bin lib REQUIRED)
        set(path ${mingw_path_${name}})
    endif()
    set(${out} ${path} PARENT_SCOPE)
endfunction()

if(CIPHERLOOM_STATIC_QT)
    set(third_party_compiled Qt6::Core Qt6::Gui Qt6::Widgets Qt6::QWindowsIntegrationPlugin
        Qt6::QWindowsVistaStylePlugin)
    list(TRANSFORM third_party_compiled REPLACE "(.+)" "$<TARGET_FILE:\\1>")
    list(APPEND third_party_compiled ${CIPHERLOOM_QTBASE_JA_QM})
    # -static links these archives of the compiler and of the MinGW runtime into the program.
    foreach(name libstdc++.a libgcc.a libgcc_eh.a libwinpthread.a)
        cipherloom_mingw_file(${name} archive)
        list(APPEND third_party_compiled ${archive})
    endforeach()
    include(${CMAKE_CURRENT_LIST_DIR}/third_party.cmake)
    return()
endif()

macro(cipherloom_ship_qt target destination)
    install(FILES $<TARGET_FILE:${target}> DESTINATION ${destination})
    list(APPEND third_party_files
        "${destination}/$<TARGET_FILE_NAME:${target}>=$<TARGET_FILE:${target}>")
endmacro()
foreach(qt_dll Qt6::Core Qt6::Gui Qt6::Widgets)
    cipherloom_ship_qt(${qt_dll} .)
endforeach()
cipherloom_ship_qt(Qt6::QWindowsIntegrationPlugin platforms)
cipherloom_ship_qt(Qt6::QWindowsVistaStylePlugin styles)

# Qt's own texts in Japanese, from the build machine's Qt of the same version, in translations/
# of the package and of the build tree, where the programs run under Wine.
find_file(CIPHERLOOM_QTBASE_JA_QM qtbase_ja.qm
    PATHS ${QT_HOST_PATH}/share/qt6/translations ${QT_HOST_PATH}/translations
    NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
if(NOT CIPHERLOOM_QTBASE_JA_QM)
    message(FATAL_ERROR "qtbase_ja.qm not found: install Debian's qt6-translations-l10n")
endif()
install(FILES ${CIPHERLOOM_QTBASE_JA_QM} DESTINATION translations)
set(build_tree_programs ${CMAKE_BINARY_DIR})
if(CMAKE_RUNTIME_OUTPUT_DIRECTORY)
    set(build_tree_programs ${CMAKE_RUNTIME_OUTPUT_DIRECTORY})
endif()
configure_file(${CIPHERLOOM_QTBASE_JA_QM} ${build_tree_programs}/translations/qtbase_ja.qm COPYONLY)
list(APPEND third_party_files "translations/qtbase_ja.qm=${CIPHERLOOM_QTBASE_JA_QM}")

# The compiler's runtime: Debian's carries debug information (libstdc++ alone is 23 MB), so a
# stripped copy goes into the package.
set(mingw_runtime_dir ${CMAKE_CURRENT_BINARY_DIR}/mingw-runtime)
file(MAKE_DIRECTORY ${mingw_runtime_dir})
foreach(name libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
    cipherloom_mingw_file(${name} dll)
    execute_process(
        COMMAND ${CMAKE_STRIP} --strip-unneeded -o ${mingw_runtime_dir}/${name} ${dll}
        COMMAND_ERROR_IS_FATAL ANY)
    install(FILES ${mingw_runtime_dir}/${name} DESTINATION .)
    list(APPEND third_party_files "${name}=${dll}")
endforeach()

include(${CMAKE_CURRENT_LIST_DIR}/third_party.cmake)
