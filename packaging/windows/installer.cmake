# The two Windows deliverables: a zip to run from any folder, and an NSIS installer with a
# Start-menu entry and an entry in Apps & features. Debian's makensis builds the installer too.
set(CPACK_GENERATOR ZIP NSIS)
set(CIPHERLOOM_WINDOWS_PACKAGE_NAME Cipherloom-${PROJECT_VERSION}-win64)
set(CPACK_PACKAGE_FILE_NAME ${CIPHERLOOM_WINDOWS_PACKAGE_NAME})
# Gives the installer its own "-setup" name beside the zip.
configure_file(${CMAKE_CURRENT_LIST_DIR}/cpack_options.cmake.in
    ${CMAKE_CURRENT_BINARY_DIR}/cpack_options.cmake @ONLY)
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_BINARY_DIR}/cpack_options.cmake)

set(CPACK_NSIS_PACKAGE_NAME Cipherloom)
set(CPACK_NSIS_DISPLAY_NAME Cipherloom)
set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY Cipherloom)
set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
set(CPACK_NSIS_EXECUTABLES_DIRECTORY .)
set(CPACK_NSIS_MUI_ICON ${CIPHERLOOM_ICO_FILE})
set(CPACK_NSIS_MUI_UNIICON ${CIPHERLOOM_ICO_FILE})
# Apps & features shows the program's own icon.
set(CPACK_NSIS_INSTALLED_ICON_NAME ${CIPHERLOOM_EXECUTABLE}.exe)
set(CPACK_NSIS_URL_INFO_ABOUT ${PROJECT_HOMEPAGE_URL})
set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL ON)
set(CPACK_NSIS_MANIFEST_DPI_AWARE ON)
# A 64-bit installer for a 64-bit program: it writes to the 64-bit registry view, and it runs
# where only 64-bit Windows programs can (Debian's wine64 without wine32). amd64 stubs are
# Unicode only, so the Japanese texts (chosen when Windows runs in Japanese) show on any code page.
# The uninstaller removes the per-vendor key it leaves empty, so nothing of the program remains.
# CPack writes this into CPackConfig.cmake unescaped: the backslash is doubled for that.
string(JOIN "\n" CPACK_NSIS_DEFINES
    "Target amd64-unicode"
    "Function un.onUninstSuccess"
    "  DeleteRegKey /ifempty SHCTX 'Software\\\\${CPACK_PACKAGE_VENDOR}'"
    "FunctionEnd")
set(CPACK_NSIS_COMPRESSOR "/SOLID lzma")

# --- Signing and reproducible staging ------------------------------------------------------------
# Before packing, cpack_windows_staging.cmake signs the program (when CIPHERLOOM_SIGN_PKCS12 names
# a key, see scripts/authenticode-sign.sh) and takes build times and file-system order out of the
# staged files. makensis signs the uninstaller it writes and then the installer the same way; a
# failed signature stops it. Without a key the script does nothing.
set(CPACK_PRE_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/cpack_windows_staging.cmake)
set(CPACK_CIPHERLOOM_SIGN_SCRIPT ${PROJECT_SOURCE_DIR}/scripts/authenticode-sign.sh)
set(CPACK_CIPHERLOOM_SIGNED_CACHE ${CMAKE_BINARY_DIR}/signed)
if(CMAKE_HOST_UNIX)
    # Back-quoted for NSIS, single-quoted for the shell: CPackConfig.cmake keeps no double quote.
    string(APPEND CPACK_NSIS_DEFINES "\n"
        "!uninstfinalize `'${CPACK_CIPHERLOOM_SIGN_SCRIPT}' '%1'` = 0\n"
        "!finalize `'${CPACK_CIPHERLOOM_SIGN_SCRIPT}' '%1'` = 0")
endif()
