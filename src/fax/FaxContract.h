#pragma once

// What the fax application provides: its settings, hand-off keys, folders, programs,
// automation classes and presence. docs/fax-application.md describes the same on Linux.

#include <QString>

namespace fax {

// Settings store.
inline const QString kRegistryCompany = QStringLiteral("ZEB");
inline const QString kProfileName = QStringLiteral("Kalmo! 2.0");
inline const QString kApplicationKey = QStringLiteral("Software\\ZEB\\Kalmo! 2.0");
inline const QString kTitlePrefix = QStringLiteral("KALMO!"); // shared section, product folder
inline const QString kSectionFax = QStringLiteral("Fax");     // per-user section
inline const QString kValueLanguage = QStringLiteral("Sprache");
inline const QString kValueSystemDir = QStringLiteral("SystemDir");
inline const QString kValueDataDir = QStringLiteral("DatenDir");
inline const QString kShellFoldersKey =
    QStringLiteral("Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders");

// One-shot hand-off values, named by the document title.
inline const QString kHandoffKey =
    QStringLiteral("Software\\VB and VBA Program Settings\\KALMO!fax");
inline const QString kHandoffPrint = QStringLiteral("Print");
inline const QString kHandoffSerialLetter = QStringLiteral("Serienbrief");
inline const QString kHandoffSendTime = QStringLiteral("Sendtime");

// Folders of the data folder, in the form the fax application uses on Linux.
inline const QString kFolderComjob = QStringLiteral("Comjob");
inline const QString kFolderComack = QStringLiteral("Comack");
inline const QString kFolderComerr = QStringLiteral("Comerr");
inline const QString kFolderComrec = QStringLiteral("Comrec");
inline const QString kFolderFaxsend = QStringLiteral("Faxsend");
inline const QString kFolderFaxrec = QStringLiteral("Faxrec");
inline const QString kDataFolderName = QStringLiteral("Fax");

// Programs and the help file in the program folder.
inline const QString kProgramFax = QStringLiteral("KalFax32.exe");
inline const QString kProgramAddressBook = QStringLiteral("KalAdr32.exe");
inline const QString kProgramViewer = QStringLiteral("Kalvw32.exe");
inline const QString kProgramVersion = QStringLiteral("KalVer32.exe");
inline const QString kProgramConverter = QStringLiteral("R3ozav.exe");
// kalmofax itself in the program folder, started with a sub-command ("settings").
inline const QString kProgramFaxApplication = QStringLiteral("kalmofax");
inline const QString kHelpFile = QStringLiteral("KalmoFax.Chm");

// Automation classes (ProgIDs).
inline const QString kProgIdAddressBook = QStringLiteral("KalmoAdr.Document");
inline const QString kProgIdJournal = QStringLiteral("KalmoJournal.Document");
inline const QString kProgIdOutlook = QStringLiteral("Outlook.Application");
inline const QString kProgIdMapiSession = QStringLiteral("MAPI.Session");

// Presence: the window class of a running fax application.
inline const QString kWindowClass = QStringLiteral("ZEB_KALMO!fax 2.0");

// Help context shown for every context help request.
inline constexpr quint32 kHelpContextId = 0x70010;

} // namespace fax
