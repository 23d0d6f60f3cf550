#include "fax/FaxContract.h"
#include "faxapp/journal/JournalStore.h"
#include "faxapp/served/ServedClasses.h"
#include "platform/DBusAutomation.h"

#include <cstdio>

namespace faxapp {

namespace {

constexpr int kDispidSendJob = 1;
constexpr int kDispidPollJob = 2;

// The answers: 0 is the only one that tells kalmosend the job is recorded; any other makes
// it take the job back.
constexpr qint16 kRecorded = 0;
constexpr qint16 kStoreUnusable = 1; // the journal cannot be opened (damaged, locked, ...)
constexpr qint16 kRowNotWritten = 2; // opened, but the row did not become durable
constexpr qint16 kFieldRejected = 3; // an argument that no job has

// Longer than any path, number or remark kalmosend passes.
constexpr qsizetype kMaxField = 4096;

bool FieldAcceptable(const QString& value) {
    return value.size() <= kMaxField && !value.contains(QChar(0));
}

// One object per job; the journal is opened for each call, so that a server that stays
// running sees the file as it is now (replaced, repaired, damaged) and holds no lock between
// calls.
class JournalDocument final : public DispatchObject {
public:
    explicit JournalDocument(QString dataDir) : m_dataDir(std::move(dataDir)) {}

    AutoVariant Invoke(int dispid, InvokeKind kind, const QList<AutoVariant>& args) override {
        if (kind != InvokeKind::Method)
            dbusauto::ThrowError(dbusauto::kMemberNotFound);
        JournalEntry entry;
        if (dispid == kDispidSendJob) {
            dbusauto::ExpectArgs(args, {VT_BSTR, VT_BSTR, VT_BSTR, VT_I2, VT_BSTR, VT_BSTR, VT_I2});
            entry.document = args.at(0).ToBStr();
            entry.jobFile = args.at(1).ToBStr();
            entry.number = args.at(2).ToBStr();
            entry.resolution = args.at(3).ToI2();
            entry.sendTime = args.at(4).ToBStr();
            entry.remark = args.at(5).ToBStr();
        } else if (dispid == kDispidPollJob) {
            dbusauto::ExpectArgs(args, {VT_BSTR, VT_BSTR, VT_BSTR, VT_BSTR});
            entry.poll = true;
            entry.jobFile = args.at(0).ToBStr();
            entry.number = args.at(1).ToBStr();
            entry.sendTime = args.at(2).ToBStr();
            entry.remark = args.at(3).ToBStr();
        } else {
            dbusauto::ThrowError(dbusauto::kMemberNotFound);
        }
        return AutoVariant::I2(Record(entry));
    }

private:
    qint16 Record(JournalEntry& entry) const {
        const QString fields[] = {entry.document, entry.jobFile, entry.number, entry.sendTime,
                                  entry.remark};
        for (const QString& field : fields) {
            if (!FieldAcceptable(field)) {
                Log(QStringLiteral("a field is too long or holds a NUL character"));
                return kFieldRejected;
            }
        }
        if (entry.jobFile.isEmpty()) {
            Log(QStringLiteral("no job file name"));
            return kFieldRejected;
        }
        QString error;
        const std::unique_ptr<JournalStore> store = JournalStore::Open(m_dataDir, error);
        if (!store) {
            Log(QStringLiteral("cannot open the journal: ") + error);
            return kStoreUnusable;
        }
        if (!store->Add(entry, error)) {
            Log(QStringLiteral("job %1 not recorded: %2").arg(entry.jobFile, error));
            return kRowNotWritten;
        }
        return kRecorded;
    }

    static void Log(const QString& text) {
        std::fprintf(stderr, "kalmofax: journal: %s\n", qPrintable(text));
    }

    QString m_dataDir;
};

} // namespace

dbusauto::ServedClass JournalClass(const QString& dataDir) {
    return {fax::kProgIdJournal, [dataDir] { return std::make_shared<JournalDocument>(dataDir); }};
}

} // namespace faxapp
