# Copies SRC to DST unless DST already exists: the user's own collection beside
# the program must never be overwritten by a rebuild.
if(NOT EXISTS "${DST}")
    configure_file("${SRC}" "${DST}" COPYONLY)
endif()
