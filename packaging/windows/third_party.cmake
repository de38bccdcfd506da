# THIRD-PARTY-NOTICES.txt and licenses/ for the zip and the installer, and
# third-party/inventory.json for the SBOM, written at build time by third_party.py from the Qt
# toolchain's records and dpkg's about the files mingw_runtime.cmake lists.
option(CIPHERLOOM_WINDOWS_PACKAGES "Require the notices the Windows packages carry" ON)
get_filename_component(qt_prefix ${Qt6_DIR}/../../.. ABSOLUTE)
if(NOT EXISTS ${qt_prefix}/PROVENANCE OR NOT EXISTS ${qt_prefix}/config.summary
        OR NOT EXISTS ${qt_prefix}/licenses/attribution)
    set(why "${qt_prefix} lacks PROVENANCE, config.summary or licenses/: the packages would \
lack the notices that Qt's licences require")
    # Off for a program linked again with a Qt of one's own, which has no such records.
    if(CMAKE_CROSSCOMPILING AND CIPHERLOOM_WINDOWS_PACKAGES)
        message(FATAL_ERROR ${why})
    endif()
    message(WARNING ${why})
    return()
endif()
# Debian's own python3 carries python3-debian and python3-license-expression.
find_program(CIPHERLOOM_DEBIAN_PYTHON3 python3 PATHS /usr/bin NO_DEFAULT_PATH REQUIRED)

# The uninstaller is makensis's stub for the compressor and target installer.cmake chooses.
find_program(CIPHERLOOM_MAKENSIS makensis)
get_filename_component(nsis_bin "${CIPHERLOOM_MAKENSIS}" DIRECTORY)
find_file(CIPHERLOOM_NSIS_STUB lzma_solid-amd64-unicode
    PATHS ${nsis_bin}/../share/nsis/Stubs NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
if(CIPHERLOOM_NSIS_STUB)
    list(APPEND third_party_files "Uninstall.exe=${CIPHERLOOM_NSIS_STUB}")
endif()

# Every program the compiler links carries the MinGW runtime's start-up code.
execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=crt2.o
    OUTPUT_VARIABLE crt_object OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)

set(third_party_dir ${CMAKE_BINARY_DIR}/third-party)
list(TRANSFORM third_party_files PREPEND --file= OUTPUT_VARIABLE file_args)
list(TRANSFORM third_party_compiled PREPEND --compiled= OUTPUT_VARIABLE compiled_args)
list(TRANSFORM third_party_files REPLACE "^[^=]*=" "" OUTPUT_VARIABLE file_sources)
add_custom_command(
    OUTPUT ${third_party_dir}/THIRD-PARTY-NOTICES.txt ${third_party_dir}/inventory.json
    COMMAND ${CIPHERLOOM_DEBIAN_PYTHON3} ${CMAKE_CURRENT_LIST_DIR}/third_party.py
        --qt-prefix ${qt_prefix} --output ${third_party_dir}
        --product ${PROJECT_NAME} --version ${PROJECT_VERSION} --homepage ${PROJECT_HOMEPAGE_URL}
        --program $<TARGET_FILE_NAME:cipherloom> --crt ${crt_object} ${file_args} ${compiled_args}
    # dpkg's status changes when a package the notices describe is upgraded.
    DEPENDS ${CMAKE_CURRENT_LIST_DIR}/third_party.py ${qt_prefix}/PROVENANCE
        ${qt_prefix}/config.summary ${file_sources} ${third_party_compiled} /var/lib/dpkg/status
    COMMENT "Writing the third-party notices of the Windows packages"
    VERBATIM)
add_custom_target(cipherloom_third_party ALL
    DEPENDS ${third_party_dir}/THIRD-PARTY-NOTICES.txt ${third_party_dir}/inventory.json)
install(FILES ${third_party_dir}/THIRD-PARTY-NOTICES.txt DESTINATION .)
install(DIRECTORY ${third_party_dir}/licenses DESTINATION .)
