# The private bus `kalmofax`: the fax application's own classes served by the real kalmofax
# (`kalmofax serve <ProgID>`), started by D-Bus activation as on a user's desktop.
#
#   kalmo_add_kalmofax_test(<name> SOURCES src... LIBS lib... [ENV var=value...])
#       kalmo_add_dbus_test on this bus, with kalmofax built first and its path in KALMOFAX.
kalmo_add_dbus_bus(kalmofax)
kalmo_add_dbus_service(KalmoJournal.Document BUS kalmofax
  EXEC $<TARGET_FILE:kalmofax> serve KalmoJournal.Document)
kalmo_add_dbus_service(KalmoAdr.Document BUS kalmofax
  EXEC $<TARGET_FILE:kalmofax> serve KalmoAdr.Document)

function(kalmo_add_kalmofax_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS;ENV" ${ARGN})
  kalmo_add_dbus_test(${name} SOURCES ${T_SOURCES} LIBS ${T_LIBS} BUS kalmofax
    ENV "KALMOFAX=$<TARGET_FILE:kalmofax>" ${T_ENV})
  add_dependencies(${name} kalmofax)
endfunction()
