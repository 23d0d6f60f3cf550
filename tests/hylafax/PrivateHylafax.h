#pragma once

// A private HylaFAX server for tests: faxq and hfaxd on a copy of the installed spool in a
// temporary folder, listening on a free loopback port, stopped by their process groups when
// the object goes, whatever happened. Needs root (the daemons chroot and switch to the spool's
// owner) and the hylafax-server and hylafax-client packages; Start() says why when it cannot.

#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>
#include <optional>

class PrivateHylafax {
public:
    struct Options {
        // Users that must give a password (user, password); anyone else from the loopback
        // address gets in without one.
        QList<std::pair<QString, QString>> passwordUsers;
        // A send-only modem whose send program ends each job by the dial string's last digit:
        // 0 done (pages, 14400 bit/s, "2-D MR", a CSI), 1 failed ("Busy signal detected"),
        // else tried again later.
        bool fakeModem = false;
        // A TIFF file the fake modem "receives" when a poll job ends done: put into the
        // receive queue as the server does, readable and removable by every client.
        QString pollDocument;
    };

    PrivateHylafax();
    ~PrivateHylafax(); // stops the daemons and their children, removes the spool
    PrivateHylafax(const PrivateHylafax&) = delete;
    PrivateHylafax& operator=(const PrivateHylafax&) = delete;

    bool Start(const Options& options, QString& error);
    void Stop();

    quint16 Port() const;
    QString Spool() const;

    // faxstat of the send queue (-s) and done queue (-d) as rows of fields, one row a job:
    // j id, a state letter, e number, J tag, r vertical resolution, y total pages, p pages
    // sent, Z send time (epoch seconds), o owner, s status. A tag must not hold "|".
    struct Job {
        QString id, state, number, tag, status, owner;
        int resolution = 0, totalPages = 0, pagesSent = 0;
        qint64 sendTime = 0;
    };
    QList<Job> Jobs(QString& error) const;
    // Announces the fake modem to faxq again (it can miss an announcement made right after it
    // started, and jobs then wait for a modem).
    void AnnounceModem() const;
    // Puts a received fax (a TIFF file) into the receive queue under name, as the server
    // leaves one: owned by the server's user, with the server's RecvFileMode: 0644 lets every
    // client read it, 0666 also remove it.
    bool PlaceReceived(const QString& tiff, const QString& name, QString& error,
                       int mode = 0644) const;
    // The names in the receive queue.
    QStringList ReceiveQueue() const;
    // faxrm of a job: it ends as failed, "Job aborted by request".
    bool Remove(const QString& id, QString& error) const;
    // Waits until the job is done or failed and returns its row. While the job waits for a
    // modem, the fake modem is announced again: faxq can miss an announcement made right after
    // it started.
    std::optional<Job> WaitUntilEnded(const QString& id, int timeoutMs, QString& error) const;

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};
