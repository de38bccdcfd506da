# Run by CPack after it has made the .deb, whose Installed-Size counts what the file system reports
# for folders: built again by dpkg-deb (sorted, SOURCE_DATE_EPOCH) with the size dpkg-gencontrol
# gives, each file rounded up to a KiB and one KiB for each folder.
set(debs ${CPACK_PACKAGE_FILES})
list(FILTER debs INCLUDE REGEX "\\.deb$")
foreach(package IN LISTS debs)
    set(tree "${CPACK_TOPLEVEL_DIRECTORY}/deb-rebuild")
    file(REMOVE_RECURSE "${tree}")
    execute_process(COMMAND dpkg-deb --raw-extract "${package}" "${tree}"
        COMMAND_ERROR_IS_FATAL ANY)

    file(GLOB_RECURSE entries LIST_DIRECTORIES true RELATIVE "${tree}" "${tree}/*")
    list(FILTER entries EXCLUDE REGEX "^DEBIAN(/|$)")
    set(kib 1)
    foreach(entry IN LISTS entries)
        if(IS_DIRECTORY "${tree}/${entry}")
            math(EXPR kib "${kib} + 1")
        else()
            file(SIZE "${tree}/${entry}" bytes)
            math(EXPR kib "${kib} + (${bytes} + 1023) / 1024")
        endif()
    endforeach()
    file(READ "${tree}/DEBIAN/control" control)
    string(REGEX REPLACE "Installed-Size: [0-9]+" "Installed-Size: ${kib}" control "${control}")
    file(WRITE "${tree}/DEBIAN/control" "${control}")

    execute_process(COMMAND dpkg-deb --root-owner-group --build "${tree}" "${package}"
        OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
    file(REMOVE_RECURSE "${tree}")
endforeach()
