#pragma once

// What a test's private daemons are, written down while they run so that a test process that
// crashed does not leave them running forever: one file per server in a folder of root's,
// naming the test process, the spool, the client tools' folder and the daemons' process groups. The
// next server's start ends the groups of records whose test process is gone or whose spool was
// removed.

#include <QString>
#include <sys/types.h>

class QProcess;

class DaemonRecord {
public:
    DaemonRecord() = default;
    ~DaemonRecord() { Remove(); }
    DaemonRecord(const DaemonRecord&) = delete;
    DaemonRecord& operator=(const DaemonRecord&) = delete;

    bool Create(const QString& spool, const QString& home, QString& error);
    void SetFaxq(qint64 pid);
    void SetHfaxd(qint64 pid);
    void Remove();

    // Ends the daemons of records left by test processes that are gone.
    static bool EndLeftovers(QString& error);
    // Ends a daemon started as the leader of its own process group, and what is left of the
    // group: politely first, then by force.
    static void EndGroup(QProcess& process);

private:
    bool Write();

    QString m_path;
    QString m_spool;
    QString m_home;
    qint64 m_faxq = 0;
    qint64 m_hfaxd = 0;
};
