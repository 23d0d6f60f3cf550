#pragma once

// What the sending engine tells of the jobs it ends (and the receiver of the faxes it fetches),
// for notices and reports: called on the
// engine's thread, in the middle of a pass, so an observer does its work quickly or hands it
// on (a notice to the window's thread, a print job to a process of its own).

#include "fax/JobFile.h"
#include "faxapp/sending/JobFiler.h"

#include <QString>
#include <vector>

namespace faxapp {

// A job the engine has filed: its job file with the outcome fields, as it now lies in
// Comack (sent) or Comerr.
struct EndedJob {
    QString name; // the job file's name
    JobFile job;
    JobFiler::Outcome outcome = JobFiler::Outcome::Failed;
    QString serverJobId; // the fax server's id, empty for a job it never had
    QString words;       // the engine's words on the outcome, as the journal has them
};

// A fax that came in, or what a poll brought, as the receiver filed it.
struct ArrivedFax {
    enum class Kind { Received, Damaged, Polled, NothingPolled };
    Kind kind = Kind::Received;
    qint64 rowId = 0; // its journal row
    QString jobFile;  // a poll's job file, else empty
    QString sender;   // the sender's identification, empty when not told
    QString number;   // a poll's number
    int pages = 0;
    QString file;   // the file in Faxrec, empty when nothing came
    QString reason; // for a damaged one: why it does not decode

    bool IsPoll() const { return !jobFile.isEmpty() || kind == Kind::NothingPolled; }
};

class JobObserver {
public:
    virtual ~JobObserver() = default;
    // The job is about to be filed; its document is still in Faxsend (filing may remove it).
    virtual void JobEnding(const QString& name, const JobFile& job) {
        Q_UNUSED(name);
        Q_UNUSED(job);
    }
    // Filed by this runner's own move: once for each job, whichever runner follows it.
    virtual void JobFiled(const EndedJob& job) = 0;
    // After each pass of the engine (jobs may wait longer than they should).
    virtual void PassEnded() {}
    // A fax was fetched from the server and filed in Faxrec, or a poll ended without one.
    virtual void FaxArrived(const ArrivedFax& fax) { Q_UNUSED(fax); }
};

// Several observers told in turn, in the order added.
class JobObservers final : public JobObserver {
public:
    void Add(JobObserver* observer) { m_observers.push_back(observer); }
    void JobEnding(const QString& name, const JobFile& job) override {
        for (JobObserver* observer : m_observers)
            observer->JobEnding(name, job);
    }
    void JobFiled(const EndedJob& job) override {
        for (JobObserver* observer : m_observers)
            observer->JobFiled(job);
    }
    void PassEnded() override {
        for (JobObserver* observer : m_observers)
            observer->PassEnded();
    }
    void FaxArrived(const ArrivedFax& fax) override {
        for (JobObserver* observer : m_observers)
            observer->FaxArrived(fax);
    }

private:
    std::vector<JobObserver*> m_observers;
};

} // namespace faxapp
