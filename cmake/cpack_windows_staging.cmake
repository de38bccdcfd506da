# Run by CPack for the Windows packages between staging (and stripping) the files and packing them:
# signs the program when a key is configured, and takes out what would make two builds differ.
set(stage "${CPACK_TEMPORARY_DIRECTORY}")

# Signed after stripping, which would break the signature. The zip and the installer are staged
# apart; a signature made once is reused, so both carry the same signed program.
if(NOT "$ENV{CIPHERLOOM_SIGN_PKCS12}" STREQUAL "")
    set(program "${stage}/cipherloom.exe")
    file(SHA256 "${program}" unsigned_hash)
    file(SHA256 "$ENV{CIPHERLOOM_SIGN_PKCS12}" key_hash)
    set(signed "${CPACK_CIPHERLOOM_SIGNED_CACHE}/${unsigned_hash}-${key_hash}.exe")
    if(NOT EXISTS "${signed}")
        execute_process(COMMAND "${CPACK_CIPHERLOOM_SIGN_SCRIPT}" "${program}"
            RESULT_VARIABLE status)
        if(NOT status EQUAL 0)
            message(FATAL_ERROR "Signing ${program} failed")
        endif()
        file(MAKE_DIRECTORY "${CPACK_CIPHERLOOM_SIGNED_CACHE}")
        file(COPY_FILE "${program}" "${signed}")
    endif()
    file(COPY_FILE "${signed}" "${program}")
endif()

# The uninstaller's lists, which CPack takes in the file system's order, sorted; folders deepest
# first, so each is empty when it is removed. makensis stores each file's time: only the staged
# files keep theirs, not the helper files CPack writes as it runs.
if(CPACK_GENERATOR STREQUAL "NSIS")
    string(APPEND CPACK_NSIS_DEFINES "\nSetDateSave off")
    set(CPACK_NSIS_FULL_INSTALL "SetDateSave on\n  File /r \"\${INST_DIR}\\*.*\"\n  SetDateSave off")
    file(GLOB_RECURSE files LIST_DIRECTORIES false RELATIVE "${stage}" "${stage}/*")
    file(GLOB_RECURSE folders LIST_DIRECTORIES true RELATIVE "${stage}" "${stage}/*")
    list(REMOVE_ITEM folders ${files})
    list(SORT folders ORDER DESCENDING)
    list(TRANSFORM files REPLACE "/" "\\\\")
    list(TRANSFORM folders REPLACE "/" "\\\\")
    list(TRANSFORM files REPLACE "(.+)" "  Delete \"$INSTDIR\\\\\\1\"\n")
    list(TRANSFORM folders REPLACE "(.+)" "  RMDir \"$INSTDIR\\\\\\1\"\n")
    string(JOIN "" CPACK_NSIS_DELETE_FILES ${files})
    string(JOIN "" CPACK_NSIS_DELETE_DIRECTORIES ${folders})
endif()

# The zip and the installer record each file's time, and the installer sets it again on install.
if(NOT "$ENV{SOURCE_DATE_EPOCH}" STREQUAL "")
    file(GLOB_RECURSE entries LIST_DIRECTORIES true "${stage}/*")
    execute_process(
        COMMAND touch --no-dereference --date=@$ENV{SOURCE_DATE_EPOCH} -- ${entries} "${stage}"
        COMMAND_ERROR_IS_FATAL ANY)
endif()
