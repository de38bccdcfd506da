# What the Windows packages carry beside LICENSE and the notices. With the static Qt (the
# packages) that is cipherloom.exe alone: Qt, its plugins, the compiler's runtime and Qt's Japanese
# texts are inside it, and the notices name each as "compiled" into it. With Qt's DLLs (kept to
# compare against) the DLLs a MinGW build needs go beside it, and nothing else: Qt's deployment
# script runs windeployqt, which does not exist where the program is cross-built. Each third-party
# file is listed as "path in the package=source" for the notices (third_party.cmake).
set(third_party_files "")
set(third_party_compiled "")

if(CIPHERLOOM_STATIC_QT)
    foreach(qt_library Qt6::Core Qt6::Gui Qt6::Widgets Qt6::QWindowsIntegrationPlugin
                       Qt6::QWindowsVistaStylePlugin)
        list(APPEND third_party_compiled $<TARGET_FILE:${qt_library}>)
    endforeach()
    list(APPEND third_party_compiled ${CIPHERLOOM_QTBASE_JA_QM})
    # -static links these archives of the compiler and of the MinGW runtime into the program.
    foreach(name libstdc++.a libgcc.a libgcc_eh.a libwinpthread.a)
        execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${name}
            OUTPUT_VARIABLE archive OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
        if(NOT IS_ABSOLUTE "${archive}")
            find_file(archive_path_${name} ${name} PATH_SUFFIXES lib REQUIRED)
            set(archive ${archive_path_${name}})
        endif()
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

# Qt's own texts (standard buttons, the text fields' context menu) in Japanese, from the build
# machine's Qt of the same version; the program looks for them in translations/.
find_file(CIPHERLOOM_QTBASE_JA_QM qtbase_ja.qm
    PATHS ${QT_HOST_PATH}/share/qt6/translations ${QT_HOST_PATH}/translations
    NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
if(NOT CIPHERLOOM_QTBASE_JA_QM)
    message(FATAL_ERROR "qtbase_ja.qm not found: install Debian's qt6-translations-l10n")
endif()
install(FILES ${CIPHERLOOM_QTBASE_JA_QM} DESTINATION translations)
# The same place in the build tree, where the program and its test programs run under Wine.
if(CMAKE_RUNTIME_OUTPUT_DIRECTORY)
    set(build_tree_programs ${CMAKE_RUNTIME_OUTPUT_DIRECTORY})
else()
    set(build_tree_programs ${CMAKE_BINARY_DIR})
endif()
configure_file(${CIPHERLOOM_QTBASE_JA_QM} ${build_tree_programs}/translations/qtbase_ja.qm COPYONLY)
list(APPEND third_party_files "translations/qtbase_ja.qm=${CIPHERLOOM_QTBASE_JA_QM}")

# The compiler's own runtime. Debian ships it with debug information (libstdc++ alone is 23 MB),
# so a stripped copy goes into the package.
set(mingw_runtime_names libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
set(mingw_runtime_dir ${CMAKE_CURRENT_BINARY_DIR}/mingw-runtime)
file(MAKE_DIRECTORY ${mingw_runtime_dir})
foreach(name IN LISTS mingw_runtime_names)
    execute_process(
        COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${name}
        OUTPUT_VARIABLE dll OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
    if(NOT IS_ABSOLUTE "${dll}")
        # The compiler does not know winpthread's DLL; it lives in the MinGW sysroot.
        find_file(dll_path_${name} ${name} PATH_SUFFIXES bin lib REQUIRED)
        set(dll ${dll_path_${name}})
    endif()
    execute_process(
        COMMAND ${CMAKE_STRIP} --strip-unneeded -o ${mingw_runtime_dir}/${name} ${dll}
        COMMAND_ERROR_IS_FATAL ANY)
    install(FILES ${mingw_runtime_dir}/${name} DESTINATION .)
    list(APPEND third_party_files "${name}=${dll}")
endforeach()

include(${CMAKE_CURRENT_LIST_DIR}/third_party.cmake)
