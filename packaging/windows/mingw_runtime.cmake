# The DLLs a MinGW build of the program needs beside it, and nothing else: Qt's deployment script
# runs windeployqt, which does not exist where the program is cross-built. Qt finds the platform
# and style plugins in platforms/ and styles/ next to the executable, so no qt.conf is needed.
set(qt_dlls Qt6::Core Qt6::Gui Qt6::Widgets)
foreach(qt_dll IN LISTS qt_dlls)
    install(FILES $<TARGET_FILE:${qt_dll}> DESTINATION .)
endforeach()
install(FILES $<TARGET_FILE:Qt6::QWindowsIntegrationPlugin> DESTINATION platforms)
install(FILES $<TARGET_FILE:Qt6::QWindowsVistaStylePlugin> DESTINATION styles)

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
endforeach()
