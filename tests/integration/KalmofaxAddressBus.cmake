# A private bus whose KalmoAdr.Document is kalmofax's own, not the stand-in's: the send dialog's
# own address book read from a real vCard folder.
kalmo_add_dbus_bus(kalmofax-adr)
kalmo_add_dbus_service(KalmoAdr.Document BUS kalmofax-adr
  EXEC $<TARGET_FILE:kalmofax> serve KalmoAdr.Document)

kalmo_add_dbus_test(tst_kalmofax_addressbook SOURCES tst_kalmofax_addressbook.cpp
  LIBS kalmo_addressbook kalmo_platform kalmo_fax BUS kalmofax-adr)
add_dependencies(tst_kalmofax_addressbook kalmofax)
