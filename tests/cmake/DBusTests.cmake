# The private session bus of the D-Bus tests: a bus configuration and one .service file per
# class of the stand-in, generated in the build tree. See docs/standin.md.
#
#   kalmo_add_dbus_bus(<bus>)
#       A further kind of test bus: <build>/tests/dbus/session-<bus>.conf, whose only service
#       folder is <build>/tests/dbus/services-<bus> (empty until services are added to it).
#   kalmo_add_dbus_service(<ProgID> [BUS bus] [EXEC command...])
#       A service the test bus (or the bus <bus>) starts on demand; by default the stand-in
#       serving <ProgID>.
#   kalmo_add_dbus_test(<name> SOURCES src... LIBS lib... [BUS bus] [ENV var=value...])
#       A test that runs on its own private bus:
#       dbus-run-session --config-file=<build>/tests/dbus/session.conf -- <test>
#       (session-<bus>.conf with BUS). The variables of ENV reach the test and the servers the
#       bus starts for it.

find_program(KALMO_DBUS_RUN_SESSION NAMES dbus-run-session REQUIRED)
find_program(KALMO_DBUS_DAEMON NAMES dbus-daemon REQUIRED)
find_program(KALMO_ENV_PROGRAM NAMES env REQUIRED)

set(KALMO_DBUS_DIR ${CMAKE_BINARY_DIR}/tests/dbus)
set(KALMO_DBUS_SERVICE_DIR ${KALMO_DBUS_DIR}/services)
set(KALMO_DBUS_CONFIG ${KALMO_DBUS_DIR}/session.conf)
# Shorter than the client's call timeout, so that a server that never takes its name is
# reported by the bus (as a failed start) before the caller gives up waiting.
set(KALMO_DBUS_START_TIMEOUT_MS 3000)

file(MAKE_DIRECTORY ${KALMO_DBUS_SERVICE_DIR})
configure_file(${CMAKE_CURRENT_LIST_DIR}/../dbus/session.conf.in ${KALMO_DBUS_CONFIG} @ONLY)

function(kalmo_add_dbus_bus bus)
  set(KALMO_DBUS_SERVICE_DIR ${KALMO_DBUS_DIR}/services-${bus})
  file(MAKE_DIRECTORY ${KALMO_DBUS_SERVICE_DIR})
  configure_file(${CMAKE_CURRENT_FUNCTION_LIST_DIR}/../dbus/session.conf.in
    ${KALMO_DBUS_DIR}/session-${bus}.conf @ONLY)
endfunction()

function(kalmo_add_dbus_service progid)
  cmake_parse_arguments(S "" "BUS" "EXEC" ${ARGN})
  set(service_dir ${KALMO_DBUS_SERVICE_DIR})
  if(S_BUS)
    set(service_dir ${KALMO_DBUS_DIR}/services-${S_BUS})
  endif()
  if(S_EXEC)
    list(JOIN S_EXEC " " exec)
  else()
    set(exec "$<TARGET_FILE:kalmo-standin> serve ${progid}")
  endif()
  file(GENERATE OUTPUT ${service_dir}/${progid}.service
    CONTENT "[D-BUS Service]\nName=${progid}\nExec=${exec}\n")
endfunction()

function(kalmo_add_dbus_test name)
  cmake_parse_arguments(T "" "BUS" "SOURCES;LIBS;ENV" ${ARGN})
  set(config ${KALMO_DBUS_CONFIG})
  if(T_BUS)
    set(config ${KALMO_DBUS_DIR}/session-${T_BUS}.conf)
  endif()
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE kalmo_testsupport ${T_LIBS} Qt6::Test)
  add_dependencies(${name} kalmo-standin)
  add_test(NAME ${name}
    COMMAND ${KALMO_DBUS_RUN_SESSION} --config-file=${config} -- $<TARGET_FILE:${name}>)
  set_tests_properties(${name} PROPERTIES
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LC_ALL=C.UTF-8;KALMO_MACHINE_REGISTRY=/nonexistent/machine.db;KALMO_USER_REGISTRY=/nonexistent/user.db;KALMO_DBUS_CONFIG=${config};KALMO_DBUS_DAEMON=${KALMO_DBUS_DAEMON};KALMO_STANDIN=$<TARGET_FILE:kalmo-standin>;${T_ENV}"
    LABELS dbus
    TIMEOUT 120)
endfunction()

# The classes of the stand-in.
kalmo_add_dbus_service(KalmoAdr.Document)
kalmo_add_dbus_service(KalmoJournal.Document)
kalmo_add_dbus_service(Outlook.Application)
kalmo_add_dbus_service(MAPI.Session)

# Services for the tests of the automation layer itself.
kalmo_add_dbus_service(KalmoTest.Echo)
# Exec fails: the program does not exist.
kalmo_add_dbus_service(KalmoTest.ExecFails EXEC /nonexistent/kalmo-no-such-program)
# Starts and exits at once: the stand-in has no such class.
kalmo_add_dbus_service(KalmoTest.Exits)
# Starts but never takes its name: the activation times out.
kalmo_add_dbus_service(KalmoTest.Stalled
  EXEC ${KALMO_ENV_PROGRAM} KALMO_STANDIN_STALL=1 $<TARGET_FILE:kalmo-standin> serve KalmoTest.Stalled)

# A bus where the fax application is not installed: no KalmoJournal.Document.
kalmo_add_dbus_bus(nojournal)
kalmo_add_dbus_service(KalmoTest.Echo BUS nojournal)
