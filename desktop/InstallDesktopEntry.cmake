# Writes the desktop entry at install time, with Exec naming the program's link
# under the install's own prefix (without DESTDIR, where the files will live).
if(IS_ABSOLUTE "${ORVENLA_BINDIR}")
    set(program "${ORVENLA_BINDIR}/orvenla")
else()
    set(program "${CMAKE_INSTALL_PREFIX}/${ORVENLA_BINDIR}/orvenla")
endif()
# Quoted as the desktop entry format asks, so a prefix with blanks works.
string(REPLACE "\\" "\\\\\\\\" program "${program}")
foreach(reserved "\"" "`" "$")
    string(REPLACE "${reserved}" "\\\\${reserved}" program "${program}")
endforeach()
string(REPLACE "%" "%%" program "${program}")
set(ORVENLA_EXEC "\"${program}\"")

set(entry "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/${ORVENLA_APPLICATIONS_DIR}/${ORVENLA_APP_ID}.desktop")
message(STATUS "Installing: ${entry}")
configure_file("${ORVENLA_DESKTOP_TEMPLATE}" "${entry}" @ONLY)
list(APPEND CMAKE_INSTALL_MANIFEST_FILES "${entry}")
