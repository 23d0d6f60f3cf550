#pragma once

// Where the fax application's folders are, found alike by kalmosend and by the fax
// application's own programs from the same settings store: the program folder (SystemDir)
// and the data folder with its six spool folders, created when missing.

#include <QString>
#include <sys/types.h>

class Messenger;
class Registry;

namespace fax {

class FaxFolders {
public:
    // CSIDL ids of the shell folders asked for.
    static constexpr int kFolderPersonal = 5;
    static constexpr int kFolderAppData = 26;
    static constexpr int kFolderCreateFlag = 0x8000;

    // Failures to make a folder are reported through messenger (message 624).
    FaxFolders(Registry& registry, Messenger& messenger);

    // A shell folder of the user's store, else its XDG stand-in (made, private, when id
    // carries kFolderCreateFlag), else defaultValue.
    QString GetShellFolder(int id, const QString& defaultValue = {}) const;
    // The data folder's base: DatenDir of the shared section, else AppData joined with
    // productFolder.
    QString ResolveDataFolder(const QString& productFolder) const;
    // Makes sure one folder level exists, made with mode (less the umask) when missing;
    // reports a failure with message 624.
    bool CreateFolder(const QString& path, mode_t mode = 0777) const;
    // Creates the six spool folders below dataDir, stopping at the first failure. They hold
    // numbers, remarks and documents: made private to the user (0700).
    void CreateSpoolFolders(const QString& dataDir) const;
    // Resolves the program folder and the data folder (created, with its spool folders).
    void ResolveFaxFolders();

    const QString& SystemDir() const { return m_systemDir; }
    const QString& DataDir() const { return m_dataDir; }

    // A value of the shared section "KALMO!": machine-wide, then per user, the per-user value
    // winning.
    QString GetMachineThenUserString(const QString& name, const QString& defaultValue = {}) const;
    // A per-user value of section below the application key.
    QString GetUserString(const QString& section, const QString& name,
                          const QString& defaultValue = {}) const;

private:
    QString ReadValue(bool machine, const QString& section, const QString& name,
                      const QString& defaultValue) const;

    Registry& m_registry;
    Messenger& m_messenger;
    QString m_systemDir;
    QString m_dataDir;
};

// Software\ZEB\Kalmo! 2.0[\section]: where the fax application's settings live.
QString ApplicationKey();
QString SectionKey(const QString& section);
// A text value as the store gives it, up to its first NUL.
QString UpToNul(const QString& text);

} // namespace fax
