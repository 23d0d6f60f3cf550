#pragma once

#include "fax/FaxFolders.h"

#include <QString>
#include <QStringList>
#include <optional>

class Messenger;
class Registry;

// The application's settings and folders: what start-up resolves once and the other parts
// read for the rest of the run, and the settings operations they share.
class AppBase {
public:
    AppBase(Registry& registry, Messenger& messenger);
    virtual ~AppBase() = default;

    QString m_strSystemDir;   // program folder of the fax application
    QString m_strDataDir;     // data folder holding the spool folders
    QString m_strHelpFile;    // full path of the help file
    QString m_strTitlePrefix; // "KALMO!": the shared section of the settings

    // Shows help: command 1 (context help), 3 (contents) or another, with the caller's data.
    virtual void WinHelp(quint32 data, unsigned command) {
        (void)data;
        (void)command;
    }

    Registry& GetRegistry() { return m_registry; }
    Messenger& GetMessenger() { return m_messenger; }

    // Company key and profile name: per-user profile values live under
    // Software\<company>\<profile>\<section>.
    void SetRegistryKey(const QString& company) { m_company = company; }
    void SetProfileName(const QString& profile) { m_profile = profile; }
    QString ApplicationKey() const;
    QString SectionKey(const QString& section) const;

    // Per-user profile values.
    QString GetProfileString(const QString& section, const QString& entry,
                             const QString& defaultValue = {});
    bool WriteProfileString(const QString& section, const QString& entry, const QString& value);
    qint64 GetProfileInt(const QString& section, const QString& entry, qint64 defaultValue);
    bool WriteProfileInt(const QString& section, const QString& entry, qint64 value);

    // A value of the shared section: machine-wide, then per user, the per-user value winning.
    QString GetMachineThenUserString(const QString& name, const QString& defaultValue = {});

    // CSIDL ids of the shell folders asked for. The folders themselves are resolved by
    // fax::FaxFolders, which the fax application's programs use as well.
    static constexpr int kFolderPersonal = fax::FaxFolders::kFolderPersonal;
    static constexpr int kFolderAppData = fax::FaxFolders::kFolderAppData;
    static constexpr int kFolderCreateFlag = fax::FaxFolders::kFolderCreateFlag;
    QString GetShellFolder(int id, const QString& defaultValue = {});

    // The data folder's base (steps 1 to 3 of resolving the data folder).
    QString ResolveDataFolder(const QString& productFolder);
    // Makes sure one folder level exists; reports a failure with message 624.
    bool CreateFolder(const QString& path);
    // Creates the six spool folders below m_strDataDir, stopping at the first failure.
    void CreateSpoolFolders();
    // The fax application's program folder and its data folder (created, with its spool
    // folders), found alike by kalmosend and by the fax application's own programs.
    void ResolveFaxFolders();

    // One-shot hand-off values of the fax application's side, read and deleted at once.
    QString TakeHandoffString(const QString& key, const QString& title);
    bool TakeSerialLetterFlag(const QString& title);

    // The number history in the per-user section "Fax", key "Rufnummern".
    bool OpenHistoryKey();
    QString ReadHistoryEntry(const QString& name, const QString& defaultValue = {});
    // With a name and a text: store it. A name and no text: delete that value. No name:
    // delete the whole key.
    bool WriteHistoryEntry(const std::optional<QString>& name, const std::optional<QString>& text);
    // Nummer0 to Nummer9 in order, empty and missing values skipped.
    QStringList LoadNumberHistory();
    // Rewrites the whole history in one transaction, so that no crash or second instance
    // leaves it empty or half written.
    bool SaveNumberHistory(const QStringList& entries);
    QString HistoryKey() const;

private:
    fax::FaxFolders Folders() const;
    QString ReadSectionValue(bool machine, const QString& section, const QString& name,
                             const QString& defaultValue);

    Registry& m_registry;
    Messenger& m_messenger;
    QString m_company;
    QString m_profile;
};

// The history rule of the number combo: equal entries (ignoring case) removed, the number
// on top, at most 10 entries.
void AddToHistoryList(QStringList& entries, const QString& number);
inline constexpr int kHistorySize = 10;
// Does the number field name a selection of list rows ("<n> Empfänger") rather than a number?
bool IsRecipientSelectionText(const QString& number);
