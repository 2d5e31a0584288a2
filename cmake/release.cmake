# Installation and packages: the Linux runner with its manual page as a .deb,
# the Windows programs as a .zip. Both take the version from project().

# Sanitizer builds are for the tests only: nothing of theirs is installed or shipped.
if(QUARRION_SANITIZE)
  return()
endif()

set(QUARRION_MAINTAINER "Quarrion developers <quarrion@example.org>")
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ
                                                GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

if(WIN32)
  # One Windows zip, made by the 64-bit build: the dialog program is the 32-bit,
  # x87 quarrion.exe of build/win32; the console runner is the 64-bit one, whose
  # vector loads have 16 or 32 registers. The 32-bit build packages nothing.
  if(QUARRION_X87)
    return()
  endif()
  set(QUARRION_DIALOG_EXE ${PROJECT_SOURCE_DIR}/build/win32/quarrion.exe
      CACHE FILEPATH "The 32-bit dialog program the Windows zip ships")
  # One folder a Windows user unpacks anywhere: the programs need no DLL.
  install(PROGRAMS ${QUARRION_DIALOG_EXE} DESTINATION .)
  install(TARGETS quarrion-stress RUNTIME DESTINATION .)
  install(FILES README.md LICENSE THIRD_PARTY.md docs/fleet.md DESTINATION .)
  # The debug information is most of each file; a user has no debugger for it.
  # This strip reads 32-bit programs as well as 64-bit ones.
  install(CODE "
    foreach(exe quarrion.exe quarrion-stress.exe)
      execute_process(COMMAND \"${CMAKE_STRIP}\" \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/\${exe}\"
                      RESULT_VARIABLE failed)
      if(failed)
        message(FATAL_ERROR \"could not strip \${exe}\")
      endif()
    endforeach()")

  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME quarrion-${PROJECT_VERSION}-windows)
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
else()
  set(doc_dir share/doc/quarrion)
  install(TARGETS quarrion-stress RUNTIME DESTINATION bin)
  # A stripped install (cmake --install --strip, and every package) drops the
  # compiler's notes too, as Debian's own packages do.
  install(CODE "
    if(CMAKE_INSTALL_DO_STRIP)
      execute_process(COMMAND \"${CMAKE_STRIP}\" --remove-section=.comment --remove-section=.note
                              \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/bin/quarrion-stress\"
                      RESULT_VARIABLE failed)
      if(failed)
        message(FATAL_ERROR \"could not strip quarrion-stress\")
      endif()
    endif()")
  install(FILES README.md docs/fleet.md DESTINATION ${doc_dir})

  # The manual page comes from the program's own --help, so the two cannot drift;
  # the sections --help has no room for are written by hand.
  find_program(HELP2MAN help2man)
  if(NOT HELP2MAN)
    message(FATAL_ERROR "help2man is missing (scripts/setup installs it)")
  endif()
  set(man ${CMAKE_BINARY_DIR}/quarrion-stress.1)
  add_custom_command(
    OUTPUT ${man} ${man}.gz
    COMMAND ${HELP2MAN} --no-info --section 1 --source "Quarrion ${PROJECT_VERSION}"
            --name "processor stress test with bit-for-bit checks"
            --include ${PROJECT_SOURCE_DIR}/docs/quarrion-stress.h2m --output ${man}
            "${PROJECT_SOURCE_DIR}/cmake/help-for-man $<TARGET_FILE:quarrion-stress>"
    COMMAND gzip -9nkf ${man}
    DEPENDS quarrion-stress ${PROJECT_SOURCE_DIR}/docs/quarrion-stress.h2m
            ${PROJECT_SOURCE_DIR}/cmake/help-for-man
    VERBATIM)
  add_custom_target(man ALL DEPENDS ${man}.gz)
  install(FILES ${man}.gz DESTINATION share/man/man1)

  # What Debian asks of every package's documentation folder.
  file(READ ${PROJECT_SOURCE_DIR}/LICENSE license)
  string(REGEX REPLACE "\n$" "" license "${license}")
  string(REGEX REPLACE "\n\n" "\n.\n" license "${license}")
  string(REPLACE "\n" "\n " license "${license}")
  set(QUARRION_LICENSE_TEXT " ${license}")
  configure_file(cmake/debian/copyright.in ${CMAKE_BINARY_DIR}/debian/copyright @ONLY)
  configure_file(cmake/debian/changelog.in ${CMAKE_BINARY_DIR}/debian/changelog @ONLY)
  add_custom_command(
    OUTPUT ${CMAKE_BINARY_DIR}/debian/changelog.gz
    COMMAND gzip -9nkf ${CMAKE_BINARY_DIR}/debian/changelog
    DEPENDS ${CMAKE_BINARY_DIR}/debian/changelog
    VERBATIM)
  add_custom_target(debian-changelog ALL DEPENDS ${CMAKE_BINARY_DIR}/debian/changelog.gz)
  install(FILES ${CMAKE_BINARY_DIR}/debian/copyright ${CMAKE_BINARY_DIR}/debian/changelog.gz
          DESTINATION ${doc_dir})

  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION utils)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  # Computed from the program's own ELF dependencies, never written by hand.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
      "processor stress test with bit-for-bit checks
quarrion-stress runs worker threads that compute the same floating-point
results twice and compare the passes bit for bit, compare the workers of one
routine across cores, and fill memory, to find unstable processors, caches
and memory paths. It writes JSON reports and OCP Test and Validation output
for fleets.")
endif()

set(CPACK_PACKAGE_NAME quarrion)
set(CPACK_PACKAGE_VENDOR "The Quarrion developers")
set(CPACK_PACKAGE_CONTACT "${QUARRION_MAINTAINER}")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_STRIP_FILES ON)
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
include(CPack)
