#pragma once

// A keyring daemon (gnome-keyring-daemon, its Secret Service only) on the test's session bus,
// with its keyrings and sockets in a temporary folder. Its login keyring is made and unlocked
// at start; the daemon is stopped by its process id when the object goes.

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

class PrivateKeyring {
public:
    PrivateKeyring() = default;
    ~PrivateKeyring();
    PrivateKeyring(const PrivateKeyring&) = delete;
    PrivateKeyring& operator=(const PrivateKeyring&) = delete;

    // Starts the daemon and waits until its default collection answers. Empty on success,
    // else why not.
    QString Start();
    void Stop();

private:
    QTemporaryDir m_dir;
    QProcess m_daemon;
};
