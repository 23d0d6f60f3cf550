# A private bus whose Outlook.Application is kalmofax's, over CardDAV address books.
kalmo_add_dbus_bus(kalmofax-outlook)
kalmo_add_dbus_service(Outlook.Application BUS kalmofax-outlook
  EXEC $<TARGET_FILE:kalmofax> serve Outlook.Application)

kalmo_add_dbus_test(tst_kalmofax_carddav SOURCES tst_kalmofax_carddav.cpp
  LIBS kalmo_addressbook kalmo_platform kalmo_fax BUS kalmofax-outlook
  ENV "KALMOFAX=$<TARGET_FILE:kalmofax>")
add_dependencies(tst_kalmofax_carddav kalmofax)
