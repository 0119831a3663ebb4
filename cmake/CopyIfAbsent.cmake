# Copies SRC to DST unless DST already exists: the user's own collection beside
# the program must never be overwritten by a rebuild or an install. A link,
# even a broken one, counts as the user's file too.
if(NOT EXISTS "${DST}" AND NOT IS_SYMLINK "${DST}")
    configure_file("${SRC}" "${DST}" COPYONLY)
endif()
