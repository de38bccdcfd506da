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
# The program's own pictures (make-installer-images.py), the header's on the right.
set(CPACK_NSIS_MUI_WELCOMEFINISHPAGE_BITMAP ${CMAKE_CURRENT_LIST_DIR}/installer-welcome.bmp)
set(CPACK_NSIS_MUI_HEADERIMAGE ${CMAKE_CURRENT_LIST_DIR}/installer-header.bmp)
# The licence page wraps its text itself: LICENSE with one line per paragraph and Windows line ends.
file(READ ${PROJECT_SOURCE_DIR}/LICENSE licence_text)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/LICENSE)
string(REGEX REPLACE "([^\n])\n([^\n])" "\\1 \\2" licence_text "${licence_text}")
string(REPLACE "\n" "\r\n" licence_text "${licence_text}")
file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/LICENSE-installer.txt "${licence_text}")
set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_CURRENT_BINARY_DIR}/LICENSE-installer.txt)
set(CPACK_NSIS_INSTALLED_ICON_NAME ${CIPHERLOOM_EXECUTABLE}.exe)
set(CPACK_NSIS_URL_INFO_ABOUT ${PROJECT_HOMEPAGE_URL})
set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL ON)
set(CPACK_NSIS_MANIFEST_DPI_AWARE ON)
# A 64-bit Unicode installer (64-bit registry view, runs on wine64 alone, Japanese texts on any
# code page), named after the program (CPACK_NSIS_BRANDING_TEXT adds /TRIMLEFT, which makensis
# refuses but on Windows); the uninstaller removes the vendor key it leaves empty. CPack writes
# this into CPackConfig.cmake unescaped: the backslash is doubled for that.
string(JOIN "\n" CPACK_NSIS_DEFINES
    "Target amd64-unicode"
    "BrandingText '${PROJECT_NAME} ${PROJECT_VERSION}'"
    "!define MUI_HEADERIMAGE_RIGHT"
    "Function un.onUninstSuccess"
    "  DeleteRegKey /ifempty SHCTX 'Software\\\\${CPACK_PACKAGE_VENDOR}'"
    "FunctionEnd")
set(CPACK_NSIS_COMPRESSOR "/SOLID lzma")

# README-ja.txt, kept as UTF-8 with LF, gets a byte-order mark and CRLF for older Notepads.
configure_file(${CMAKE_CURRENT_LIST_DIR}/README-ja.txt.in README-ja.txt.lf @ONLY)
file(READ ${CMAKE_CURRENT_BINARY_DIR}/README-ja.txt.lf readme_text)
string(REPLACE "\n" "\r\n" readme_text "${readme_text}")
string(ASCII 239 187 191 utf8_bom)
file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/README-ja.txt "${utf8_bom}${readme_text}")
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/README-ja.txt DESTINATION .)

# The manifest sits in the resource script; MSVC's linker would add a second one.
set_property(SOURCE ${CMAKE_CURRENT_BINARY_DIR}/cipherloom.rc TARGET_DIRECTORY cipherloom
    APPEND PROPERTY OBJECT_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/cipherloom.manifest)
target_link_options(cipherloom PRIVATE $<$<CXX_COMPILER_ID:MSVC>:/MANIFEST:NO>)

# Before packing, cpack_windows_staging.cmake signs the program (see scripts/authenticode-sign.sh)
# and makes the staged files reproducible; makensis signs the uninstaller and the installer, and a
# failed signature stops it. Without a key nothing is signed.
set(CPACK_PRE_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/cpack_windows_staging.cmake)
set(CPACK_CIPHERLOOM_SIGN_SCRIPT ${PROJECT_SOURCE_DIR}/scripts/authenticode-sign.sh)
set(CPACK_CIPHERLOOM_SIGNED_CACHE ${CMAKE_BINARY_DIR}/signed)
if(CMAKE_HOST_UNIX)
    # Back-quoted for NSIS, single-quoted for the shell: CPackConfig.cmake keeps no double quote.
    string(APPEND CPACK_NSIS_DEFINES "\n"
        "!uninstfinalize `'${CPACK_CIPHERLOOM_SIGN_SCRIPT}' '%1'` = 0\n"
        "!finalize `'${CPACK_CIPHERLOOM_SIGN_SCRIPT}' '%1'` = 0")
endif()
