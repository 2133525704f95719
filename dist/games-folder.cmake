# Run by cpack on the files it is about to package: Debian keeps games in
# /usr/games, while `cmake --install` puts the program in bin/, on the PATH of
# any prefix. The game finds its data set and its sound module from its own
# folder, and games/ is as deep under the prefix as bin/.
set(prefix ${CPACK_TEMPORARY_DIRECTORY}${CPACK_PACKAGING_INSTALL_PREFIX})
set(bindir ${prefix}/${CPACK_SHASHIN_BINDIR})
if(NOT bindir STREQUAL prefix/games)
  if(NOT EXISTS ${bindir}/shashin)
    message(FATAL_ERROR "cpack staged no ${bindir}/shashin")
  endif()
  file(MAKE_DIRECTORY ${prefix}/games)
  file(RENAME ${bindir}/shashin ${prefix}/games/shashin)
  file(GLOB left ${bindir}/*)
  if(NOT left)
    file(REMOVE_RECURSE ${bindir})
  endif()
endif()
