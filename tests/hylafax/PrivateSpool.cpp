#include "PrivateSpool.h"

#include "RunTool.h"

#include <QDir>
#include <QFile>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString kSystemSpool = QStringLiteral("/var/spool/hylafax");
const QString kSystemConfig = QStringLiteral("/etc/hylafax");

// Stands in for the send program. faxq runs "<it> -m <modem> sendq/qN" in the spool, reads the
// job's q file back afterwards and takes the exit status as the outcome: 0 try again later,
// 1 failed, 2 done. The outcome follows the dial string's last digit. faxq may write the q file
// once more just after it started the program, so the values are written until they stay.
constexpr const char* kFakeSend = R"(#!/bin/sh
for q; do :; done
num=$(sed -n 's/^number://p' "$q")
tot=$(sed -n 's/^totpages://p' "$q")
set_key() { rest=$(sed "/^$1:/d" "$q"); printf '%s\n%s:%s\n' "$rest" "$1" "$2" > "$q"; }
case "$num" in
*0) rc=2; check='^csi:+49 30 1234567$' ;;
*1) rc=1; check='^status:Busy signal detected$' ;;
*)  rc=0; check='^status:No answer from remote$' ;;
esac
for try in 1 2 3 4 5 6 7 8 9 10; do
    case $rc in
    2) set_key npages "$tot"; set_key signalrate "14400 bit/s"; set_key dataformat "2-D MR"
       set_key commid 00000042; set_key csi "+49 30 1234567" ;;
    1) set_key status "Busy signal detected" ;;
    *) set_key status "No answer from remote" ;;
    esac
    sleep 0.2
    grep -q "$check" "$q" && break
done
# A poll that ends done "receives" the document the test left in etc/polled.tif.
if [ $rc = 2 ] && grep -q '^poll' "$q" && [ -f etc/polled.tif ]; then
    n=$(ls recvq | grep -c '^fax')
    name=$(printf 'fax%08d.tif' $((n + 9001)))
    cp etc/polled.tif "recvq/.$name" && chown --reference=recvq "recvq/.$name" &&
        chmod 666 "recvq/.$name" && mv "recvq/.$name" "recvq/$name"
fi
exit $rc
)";

bool AppendTo(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Append) && file.write(bytes) == bytes.size();
}

} // namespace

bool PrivateSpool::Fill(const QString& s, const QString& home,
                        const PrivateHylafax::Options& options, QString& error) {
    const passwd* uucp = ::getpwnam("uucp");
    if (uucp == nullptr) {
        error = QStringLiteral("there is no user uucp");
        return false;
    }
    const uid_t uucpUid = uucp->pw_uid;
    const gid_t uucpGid = uucp->pw_gid;
    QByteArray output;
    if (!RunTool(QStringLiteral("/bin/cp"),
                 {QStringLiteral("-a"), kSystemSpool + QStringLiteral("/."), s + QLatin1Char('/')},
                 output, error) ||
        !RunTool(QStringLiteral("/bin/cp"),
                 {QStringLiteral("-a"), kSystemConfig + QStringLiteral("/."),
                  s + QStringLiteral("/etc/")},
                 output, error)) {
        return false;
    }
    // A copy of a spool that once served holds its queues and the scheduler's FIFO.
    QDir root(s);
    for (const QString& name : root.entryList({QStringLiteral("FIFO*")}, QDir::System)) {
        root.remove(name);
    }
    for (const char* queue : {"sendq", "doneq", "docq", "tmp"}) {
        QDir dir(root.filePath(QLatin1String(queue)));
        for (const QString& name : dir.entryList(QDir::Files | QDir::Hidden)) {
            dir.remove(name);
        }
    }
    // The daemons switch to uucp, which must enter the spool and own the lock folder.
    if (::chown(QFile::encodeName(s).constData(), uucpUid, uucpGid) != 0 ||
        ::chmod(QFile::encodeName(s).constData(), 0755) != 0 ||
        !root.mkdir(QStringLiteral("lock")) ||
        ::chown(QFile::encodeName(root.filePath(QStringLiteral("lock"))).constData(), uucpUid,
                uucpGid) != 0) {
        error = QStringLiteral("cannot hand %1 to uucp").arg(s);
        return false;
    }
    // No mail from the notification and wedged-modem scripts, modem locks inside the spool,
    // and the stand-in send program. faxq reads its config again only when the file's
    // modification second changes: it is complete before faxq starts.
    QByteArray config = "\nNotifyCmd:\t/bin/true\nWedgedCmd:\t/bin/true\nUUCPLockDir:\t" +
                        QFile::encodeName(root.filePath(QStringLiteral("lock"))) + "\n";
    if (options.fakeModem) {
        const QString script = root.filePath(QStringLiteral("bin/fake-faxsend"));
        QFile file(script);
        if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly) || file.write(kFakeSend) < 0 ||
            !file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                 QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther |
                                 QFile::ExeOther)) {
            error = QStringLiteral("cannot write %1").arg(script);
            return false;
        }
        config += "SendFaxCmd:\tbin/fake-faxsend\n";
        const QString polled = root.filePath(QStringLiteral("etc/polled.tif"));
        if (!options.pollDocument.isEmpty() &&
            (!QFile::copy(options.pollDocument, polled) ||
             ::chmod(QFile::encodeName(polled).constData(), 0644) != 0)) {
            error = QStringLiteral("cannot copy %1 into the spool").arg(options.pollDocument);
            return false;
        }
    }
    if (!AppendTo(root.filePath(QStringLiteral("etc/config")), config)) {
        error = QStringLiteral("cannot extend %1/etc/config").arg(s);
        return false;
    }
    // Access: the password users first (the first matching line wins), then anyone from the
    // loopback address without a password.
    const QString hosts = root.filePath(QStringLiteral("etc/hosts.hfaxd"));
    QFile::remove(hosts);
    if (!AppendTo(hosts, {})) {
        error = QStringLiteral("cannot write %1").arg(hosts);
        return false;
    }
    int uid = 1001;
    for (const auto& [user, password] : options.passwordUsers) {
        if (!RunTool(QStringLiteral("/usr/sbin/faxadduser"),
                     {QStringLiteral("-f"), hosts, QStringLiteral("-p"), password,
                      QStringLiteral("-u"), QString::number(uid++), user},
                     output, error)) {
            return false;
        }
    }
    if (!AppendTo(hosts, "127.0.0.1\n") ||
        ::chown(QFile::encodeName(hosts).constData(), uucpUid, uucpGid) != 0 ||
        ::chmod(QFile::encodeName(hosts).constData(), 0600) != 0) {
        error = QStringLiteral("cannot finish %1").arg(hosts);
        return false;
    }
    if (!AppendTo(QDir(home).filePath(QStringLiteral(".hylarc")),
                  "JobFmt: \"%j|%a|%e|%r|%y|%p|%Z|%o|%J|%s\"\nTimeZone: gmt\n")) {
        error = QStringLiteral("cannot write the client's .hylarc");
        return false;
    }
    return true;
}
