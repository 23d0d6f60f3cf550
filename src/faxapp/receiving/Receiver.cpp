#include "faxapp/receiving/Receiver.h"

#include "fax/FaxContract.h"
#include "faxapp/journal/JournalStore.h"
#include "faxapp/receiving/ReceivedTiff.h"
#include "faxapp/sending/JobObserver.h"
#include "faxapp/sending/SendingState.h"
#include "support/Clock.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QIODevice>
#include <QRegularExpression>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace faxapp {

namespace {

const QString kFetching = QStringLiteral("fetching");
const QString kReceived = QStringLiteral("received");
const QString kDamaged = QStringLiteral("damaged");
// The state the sending engine gives a poll that ended well, and the one a poll that brought
// nothing gets here.
const QString kPollDone = QStringLiteral("sent");
const QString kPollQueued = QStringLiteral("queued");
const QString kNothing = QStringLiteral("empty");

QString ErrnoText() {
    return QString::fromLocal8Bit(std::strerror(errno));
}

// A server's name for a fax that may become part of a file name here.
bool PlainName(const QString& name) {
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z0-9][A-Za-z0-9_-]{0,62}"
                                                         "(\\.[A-Za-z0-9]{1,8})?$"));
    return plain.match(name).hasMatch();
}

// The digits of a number or an identification; a fax answers a poll when the last digits of
// the polled number and of the sender's identification agree (one may carry a country code
// the other lacks).
QString Digits(const QString& text) {
    QString digits;
    for (const QChar c : text)
        if (c.isDigit())
            digits += c;
    return digits;
}

bool SameStation(const QString& number, const QString& sender) {
    const QString a = Digits(number);
    const QString b = Digits(sender);
    const qsizetype n = std::min<qsizetype>({a.size(), b.size(), 6});
    return n >= 3 && a.right(n) == b.right(n);
}

bool SyncFolder(const QString& path) {
    const int fd = ::open(QFile::encodeName(path).constData(),
                          O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool synced = ::fsync(fd) == 0;
    ::close(fd);
    return synced;
}

// Puts from in the place of to only when nothing is there.
bool RenameNoReplace(const QString& from, const QString& to) {
    const QByteArray a = QFile::encodeName(from);
    const QByteArray b = QFile::encodeName(to);
    if (::renameat2(AT_FDCWD, a.constData(), AT_FDCWD, b.constData(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return false;
    // A file system without it (some network ones): a link is made only where there is none.
    if (::link(a.constData(), b.constData()) != 0)
        return false;
    ::unlink(a.constData());
    return true;
}

QString Printable(QString text) {
    for (QChar& c : text)
        if (c.category() == QChar::Other_Control)
            c = u'?';
    return text.left(80);
}

// Writes a fetched fax to its file and tells the check of each piece, so that the pages are
// decoded while the rest is still on its way.
class CheckedSink final : public QIODevice {
public:
    CheckedSink(int fd, ReceivedTiffCheck& check) : m_fd(fd), m_check(check) {
        open(QIODevice::WriteOnly | QIODevice::Unbuffered);
    }
    // Why a write failed; empty when none did.
    QString Trouble() const { return m_trouble; }

protected:
    qint64 readData(char* /*data*/, qint64 /*maxSize*/) override { return -1; }
    qint64 writeData(const char* data, qint64 size) override {
        qint64 done = 0;
        while (done < size) {
            const ssize_t n =
                ::pwrite(m_fd, data + done, static_cast<size_t>(size - done), m_written + done);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0) {
                m_trouble = n < 0 ? ErrnoText() : QStringLiteral("nothing written");
                setErrorString(m_trouble);
                return -1;
            }
            done += n;
        }
        m_written += size;
        m_check.Grown(m_written);
        return size;
    }

private:
    int m_fd;
    ReceivedTiffCheck& m_check;
    qint64 m_written = 0;
    QString m_trouble;
};

bool IsRegularFile(const QString& path) {
    struct stat info {};
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 && S_ISREG(info.st_mode);
}

} // namespace

Receiver::Receiver(QString dataDir, ServerMaker server, const Clock& clock, Options options)
    : m_dataDir(std::move(dataDir)), m_faxrec(m_dataDir + u'/' + fax::kFolderFaxrec),
      m_server(std::move(server)), m_clock(clock), m_options(options) {}

Receiver::~Receiver() = default;

bool Receiver::Open(QString& error) {
    struct stat info {};
    const QByteArray folder = QFile::encodeName(m_faxrec);
    if (::lstat(folder.constData(), &info) != 0 &&
        (errno != ENOENT || ::mkdir(folder.constData(), 0700) != 0 ||
         ::lstat(folder.constData(), &info) != 0)) {
        error = m_faxrec + QStringLiteral(": ") + ErrnoText();
        return false;
    }
    if (!S_ISDIR(info.st_mode)) {
        error = m_faxrec + QStringLiteral(": not a folder");
        return false;
    }
    m_journal = JournalStore::Open(m_dataDir, error);
    return m_journal != nullptr;
}

QString Receiver::OwnClaim() const {
    SendingRecord record;
    SendingState::Identify(record);
    record.since = m_clock.Now().toSecsSinceEpoch();
    return QString::fromUtf8(record.Bytes());
}

bool Receiver::Abandoned(const JournalEntry& row) const {
    const qint64 now = m_clock.Now().toSecsSinceEpoch();
    const auto record = SendingRecord::Parse(row.document.toUtf8());
    if (!record || record->owner.isEmpty())
        return row.recorded.toSecsSinceEpoch() + kStaleClaimSecs < now;
    if (SendingState::OwnerOnThisHost(*record)) {
        // This process works on one fax at a time: a claim of its own is one a pass before
        // this one gave up (the server went away half-way).
        SendingRecord own;
        SendingState::Identify(own);
        return SendingState::OwnerGone(*record) ||
               (record->owner == own.owner && record->start == own.start);
    }
    return record->since + kStaleClaimSecs < now;
}

QString Receiver::TemporaryPath(const QString& serverFile) const {
    // One name a fax: only the holder of its claim writes there, and whoever takes the claim
    // over starts again from an empty file.
    const QByteArray hash =
        QCryptographicHash::hash(serverFile.toUtf8(), QCryptographicHash::Sha256).toHex();
    return m_faxrec + QStringLiteral("/.fetch-") + QString::fromLatin1(hash.left(24)) +
           QStringLiteral(".part");
}

QString Receiver::FinalPath(const ReceivedFax& fax) const {
    const QDateTime at = fax.arrived.isValid() ? fax.arrived : m_clock.Now();
    const QString stem = at.toUTC().toString(QStringLiteral("yyyyMMdd-HHmmss-")) +
                         QString(fax.file).remove(QRegularExpression(QStringLiteral("\\.[^.]*$")));
    QString path = m_faxrec + u'/' + stem + QStringLiteral(".tif");
    for (int n = 2; QFileInfo::exists(path) || QFileInfo(path).isSymLink(); ++n)
        path = m_faxrec + u'/' + stem + u'-' + QString::number(n) + QStringLiteral(".tif");
    return path;
}

const JournalEntry* Receiver::PollOf(const ReceivedFax& fax,
                                     const QList<JournalEntry>& polls) const {
    for (const JournalEntry& poll : polls) {
        const bool after =
            !fax.arrived.isValid() || fax.arrived.secsTo(poll.recorded) <= kClockSlackSecs;
        if (after && (fax.sender.isEmpty() || SameStation(poll.number, fax.sender)))
            return &poll;
    }
    return nullptr;
}

ReceivePass Receiver::Pass() {
    ReceivePass pass;
    const auto note = [&pass](const QString& problem) { pass.problems.append(problem); };
    auto made = m_server();
    if (!made) {
        pass.unreachable = true;
        pass.serverError = made.Error().Text();
        return pass;
    }
    FaxServer& server = **made;
    auto listed = server.Received();
    if (!listed) {
        pass.unreachable = true;
        pass.serverError = listed.Error().Text();
        return pass;
    }
    QString error;
    const QDateTime pollsFrom = m_clock.Now().addDays(-kPollDays);
    auto ended = m_journal->Polls(kPollDone, pollsFrom, error);
    const auto queued = ended ? m_journal->Polls(kPollQueued, pollsFrom, error) : std::nullopt;
    if (!ended || !queued) {
        note(error);
        return pass;
    }
    // The earliest first: of two faxes from a polled station, the poll brought the first.
    QList<ReceivedFax> faxes = *listed;
    std::stable_sort(faxes.begin(), faxes.end(), [](const ReceivedFax& a, const ReceivedFax& b) {
        return a.arrived < b.arrived;
    });
    for (const ReceivedFax& fax : faxes) {
        if (pass.unreachable || pass.halted)
            break; // the server went away, or Faxrec is full: the rest waits for the next pass
        if (!PlainName(fax.file)) {
            note(QStringLiteral("%1: the server names a received fax \"%2\"; it is left there")
                     .arg(server.Name(), Printable(fax.file)));
            continue;
        }
        if (fax.receiving) {
            ++pass.deferred;
            continue;
        }
        if (!fax.readable)
            continue; // another user's, as the server's protection says

        const QString serverFile = server.Address() + u' ' + fax.file;
        const QString claim = OwnClaim();
        auto row = m_journal->FindServerFile(serverFile, error);
        if (!error.isEmpty()) {
            note(error);
            continue;
        }
        if (row) {
            if (row->state != kFetching || !Abandoned(*row))
                continue;
            if (!m_journal->SwapClaim(row->id, row->document, claim, error)) {
                if (!error.isEmpty())
                    note(error);
                continue;
            }
            row->document = claim;
            Fetch(server, fax, *row, pass);
            continue;
        }
        if (const JournalEntry* poll = PollOf(fax, *ended)) {
            JournalEntry taken = *poll;
            ended->removeIf([&](const JournalEntry& e) { return e.id == taken.id; });
            if (m_journal->ClaimForPoll(taken.id, kPollDone, serverFile, claim, error)) {
                taken.state = kFetching;
                taken.document = claim;
                taken.serverFile = serverFile;
                Fetch(server, fax, taken, pass);
            } else if (!error.isEmpty()) {
                note(error);
            }
            continue;
        }
        // A poll of ours still at work may bring this one: it waits until the poll has ended.
        if (std::any_of(queued->begin(), queued->end(), [&](const JournalEntry& poll) {
                return fax.sender.isEmpty() || SameStation(poll.number, fax.sender);
            })) {
            ++pass.deferred;
            continue;
        }
        JournalEntry fresh;
        fresh.state = kFetching;
        fresh.document = claim;
        fresh.serverFile = serverFile;
        fresh.number = fax.sender;
        fresh.remoteId = fax.sender;
        fresh.pages = fax.pages;
        fresh.arrived = fax.arrived;
        fresh.resolution = fax.resolution;
        fresh.quality = fax.quality;
        if (!m_journal->AddReceived(fresh, error)) {
            QString lookup;
            if (!m_journal->FindServerFile(serverFile, lookup)) // not taken by another program
                note(error);
            continue;
        }
        Fetch(server, fax, fresh, pass);
    }
    // The polls that ended well and brought nothing this login can see; only told when the
    // whole listing was gone through.
    if (pass.unreachable || pass.halted || !pass.problems.isEmpty())
        return pass;
    for (JournalEntry poll : *ended) {
        poll.state = kNothing;
        poll.outcome = QStringLiteral("nothing received: the polled station sent no document");
        if (m_journal->UpdateReceived(poll, error, kPollDone)) {
            ++pass.polls;
            Tell(poll, {});
        } else if (!error.isEmpty()) {
            note(error);
        }
    }
    return pass;
}

std::optional<Result<int>> Receiver::FetchChecked(FaxServer& server, const ReceivedFax& fax,
                                                  const JournalEntry& row, const QString& temp,
                                                  ReceivePass& pass) {
    const auto note = [&pass](const QString& problem) { pass.problems.append(problem); };
    const QByteArray tempName = QFile::encodeName(temp);
    const int fd =
        ::open(tempName.constData(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
        note(temp + QStringLiteral(": ") + ErrnoText());
        return std::nullopt;
    }
    std::optional<Result<int>> checked;
    ServerResult<void> fetched = ServerProblem{};
    QString localTrouble; // Faxrec took no more (a full disk, say)
    {
        ReceivedTiffCheck pages(fd, temp);
        CheckedSink sink(fd, pages);
        fetched = server.Fetch(fax.file, sink);
        localTrouble = sink.Trouble();
        // Put on the disk while the last pages are decoded.
        if (fetched && ::fsync(fd) != 0)
            localTrouble = ErrnoText();
        if (fetched && localTrouble.isEmpty())
            checked = pages.Finish();
    }
    ::close(fd);
    if (checked)
        return checked;
    ::unlink(tempName.constData());
    if (!localTrouble.isEmpty()) {
        // The fax stays claimed by this process: the next pass takes it up again, and the
        // rest of the listing waits for it.
        note(temp + QStringLiteral(": ") + localTrouble);
        pass.halted = true;
    } else if (fetched.Error().kind == ServerProblem::Kind::Unreachable) {
        // The claim stays this process's: the next pass takes the fax up again.
        pass.unreachable = true;
        pass.serverError = fetched.Error().Text();
    } else {
        note(QStringLiteral("%1: fetching %2: %3")
                 .arg(server.Name(), fax.file, fetched.Error().Text()));
        GiveUp(row, row.document);
    }
    return std::nullopt;
}

void Receiver::Fetch(FaxServer& server, const ReceivedFax& fax, JournalEntry row,
                     ReceivePass& pass) {
    QString error;
    const auto note = [&pass](const QString& problem) { pass.problems.append(problem); };
    const QString claim = row.document;
    const QString temp = TemporaryPath(row.serverFile);
    ::unlink(QFile::encodeName(temp).constData()); // what a fetcher before us left
    // The file is renamed into the place named on the row before it: a fetch taken up again
    // finds it there instead of making a second one.
    std::optional<Result<int>> checked;
    if (!row.faxFile.isEmpty() && IsRegularFile(row.faxFile)) {
        checked = CheckReceivedTiff(row.faxFile);
    } else {
        row.faxFile = FinalPath(fax);
        if (!m_journal->UpdateReceived(row, error, kFetching, claim)) {
            if (!error.isEmpty())
                note(error);
            return;
        }
        checked = FetchChecked(server, fax, row, temp, pass);
        if (!checked)
            return;
        if (!RenameNoReplace(temp, row.faxFile) || !SyncFolder(m_faxrec)) {
            note(row.faxFile + QStringLiteral(": ") + ErrnoText());
            ::unlink(QFile::encodeName(temp).constData());
            return;
        }
    }
    const Result<int>& check = *checked;
    row.state = check ? kReceived : kDamaged;
    row.outcome = check ? QString() : check.Error().reason;
    row.pages = check ? *check : fax.pages;
    row.document.clear();
    row.remoteId = fax.sender;
    row.quality = fax.quality;
    row.arrived = fax.arrived;
    row.resolution = fax.resolution;
    row.unread = true;
    // Only while the claim is still ours: a fetcher taken over for being too slow records
    // nothing over the one that took its place.
    if (!m_journal->UpdateReceived(row, error, kFetching, claim)) {
        if (!error.isEmpty())
            note(error);
        return;
    }
    if (row.poll)
        ++pass.polls;
    else if (check)
        ++pass.fetched;
    else
        ++pass.damaged;
    if (m_options.deleteAtServer) {
        if (const auto removed = server.Delete(fax.file); !removed)
            note(QStringLiteral("%1: removing %2: %3")
                     .arg(server.Name(), fax.file, removed.Error().Text()));
    }
    Tell(row, row.outcome);
}

void Receiver::GiveUp(JournalEntry row, const QString& claim) {
    // The server refuses the fax (another desktop removed it meanwhile, its protection
    // changed): no row stays "fetching" for it. A poll's row goes back to its end at the
    // server, where the next pass finds that it brought nothing.
    QString error;
    if (!row.poll) {
        if (m_journal->SwapClaim(row.id, claim, claim, error))
            m_journal->Remove(row.id, error);
        return;
    }
    row.state = kPollDone;
    row.document.clear();
    row.faxFile.clear();
    m_journal->UpdateReceived(row, error, kFetching, claim);
}

void Receiver::Tell(const JournalEntry& row, const QString& reason) {
    if (m_observer == nullptr)
        return;
    ArrivedFax fax;
    fax.rowId = row.id;
    fax.jobFile = row.poll ? row.jobFile : QString();
    fax.sender = row.remoteId;
    fax.number = row.number;
    fax.pages = row.pages;
    fax.file = row.faxFile;
    fax.reason = reason;
    if (row.state == kNothing)
        fax.kind = ArrivedFax::Kind::NothingPolled;
    else if (row.state == kDamaged)
        fax.kind = ArrivedFax::Kind::Damaged;
    else
        fax.kind = row.poll ? ArrivedFax::Kind::Polled : ArrivedFax::Kind::Received;
    m_observer->FaxArrived(fax);
}

} // namespace faxapp
