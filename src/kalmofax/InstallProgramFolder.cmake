# Runs at install time (install(CODE) in CMakeLists.txt): the program folder's links and the
# D-Bus service files, under $ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}.
#   KALMO_BINDIR, KALMO_PROGRAM_DIR, KALMO_DATADIR  relative to the prefix, or absolute
#   KALMO_LINK_TARGET                               the links' target, relative
#   KALMO_PROGRAM_NAMES, KALMO_PROGIDS              lists

function(kalmo_full_path out dir)
  if(IS_ABSOLUTE "${dir}")
    set(${out} "${dir}" PARENT_SCOPE)
  else()
    set(${out} "${CMAKE_INSTALL_PREFIX}/${dir}" PARENT_SCOPE)
  endif()
endfunction()

kalmo_full_path(bindir "${KALMO_BINDIR}")
kalmo_full_path(programdir "${KALMO_PROGRAM_DIR}")
kalmo_full_path(datadir "${KALMO_DATADIR}")

set(stage "$ENV{DESTDIR}${programdir}")
file(MAKE_DIRECTORY "${stage}")
foreach(name ${KALMO_PROGRAM_NAMES})
  message(STATUS "Installing: ${stage}/${name} -> ${KALMO_LINK_TARGET}")
  file(REMOVE "${stage}/${name}")
  file(CREATE_LINK "${KALMO_LINK_TARGET}" "${stage}/${name}" SYMBOLIC)
  list(APPEND CMAKE_INSTALL_MANIFEST_FILES "${stage}/${name}")
endforeach()

# The bus starts the installed binary: its path without DESTDIR, where it will run.
set(services "$ENV{DESTDIR}${datadir}/dbus-1/services")
file(MAKE_DIRECTORY "${services}")
foreach(progid ${KALMO_PROGIDS})
  message(STATUS "Installing: ${services}/${progid}.service")
  file(WRITE "${services}/${progid}.service"
    "[D-BUS Service]\nName=${progid}\nExec=${bindir}/kalmofax serve ${progid}\n")
  list(APPEND CMAKE_INSTALL_MANIFEST_FILES "${services}/${progid}.service")
endforeach()
