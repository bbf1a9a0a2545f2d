# Run by `cmake --install`, after the files are in place: the command symlinks in bin/ and the
# application launcher. Both depend on the prefix of this install (which `--prefix` may change),
# so they are made now rather than at configure time. Expects FS_BINDIR, FS_PROGRAMDIR,
# FS_DATADIR (each absolute or relative to the prefix), FS_PROGRAMS and FS_DESKTOP_TEMPLATE.

function(fs_absolute out dir)
    if(IS_ABSOLUTE "${dir}")
        set(${out} "${dir}" PARENT_SCOPE)
    else()
        set(${out} "${CMAKE_INSTALL_PREFIX}/${dir}" PARENT_SCOPE)
    endif()
endfunction()

fs_absolute(bindir "${FS_BINDIR}")
fs_absolute(programdir "${FS_PROGRAMDIR}")
fs_absolute(datadir "${FS_DATADIR}")

# The programs stay beside help/ and are reached through relative links, so the tree can be
# moved as a whole (DESTDIR staging, packaging). The program finds its folder through
# /proc/self/exe, which names the link's target.
file(MAKE_DIRECTORY "$ENV{DESTDIR}${bindir}")
file(RELATIVE_PATH reldir "${bindir}" "${programdir}")
foreach(program IN LISTS FS_PROGRAMS)
    set(link "$ENV{DESTDIR}${bindir}/${program}")
    message(STATUS "Installing: ${link} -> ${reldir}/${program}")
    file(REMOVE "${link}")
    file(CREATE_LINK "${reldir}/${program}" "${link}" SYMBOLIC)
endforeach()

# Exec takes the program's absolute path, quoted as desktop entries quote arguments and then
# with every backslash doubled, as string values are escaped.
set(exec "${bindir}/fernsweep")
string(REPLACE "\\" "\\\\" exec "${exec}")
string(REPLACE "\"" "\\\"" exec "${exec}")
string(REPLACE "`" "\\`" exec "${exec}")
string(REPLACE "$" "\\$" exec "${exec}")
string(REPLACE "\\" "\\\\" exec "${exec}")
if(exec MATCHES "[%\n\r\t]")
    message(FATAL_ERROR "The install prefix cannot be named in a launcher: ${bindir}")
endif()
set(FS_DESKTOP_EXEC "\"${exec}\"")
set(entry "$ENV{DESTDIR}${datadir}/applications/Fernsweep.desktop")
message(STATUS "Installing: ${entry}")
configure_file("${FS_DESKTOP_TEMPLATE}" "${entry}" @ONLY)
