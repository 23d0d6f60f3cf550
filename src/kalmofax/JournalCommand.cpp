#include "faxapp/journal/JournalStore.h"
#include "faxapp/sending/FaxSettings.h"
#include "kalmofax/Commands.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <cstdio>

namespace faxapp {

namespace {

void Write(const QByteArray& bytes) {
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stdout);
}

QByteArray Json(const QList<JournalEntry>& entries) {
    QJsonArray rows;
    for (const JournalEntry& e : entries) {
        rows.append(QJsonObject{
            {QStringLiteral("id"), e.id},
            {QStringLiteral("recorded"), e.recorded.toUTC().toString(Qt::ISODateWithMs)},
            {QStringLiteral("kind"), e.poll ? QStringLiteral("poll") : QStringLiteral("send")},
            {QStringLiteral("document"), e.document},
            {QStringLiteral("jobFile"), e.jobFile},
            {QStringLiteral("number"), e.number},
            {QStringLiteral("resolution"), e.resolution},
            {QStringLiteral("sendTime"), e.sendTime},
            {QStringLiteral("remark"), e.remark},
            {QStringLiteral("state"), e.state},
            {QStringLiteral("outcome"), e.outcome}});
    }
    return QJsonDocument(rows).toJson(QJsonDocument::Indented);
}

// Control characters of a field would break the table's lines: shown as blanks.
QString Cell(QString text) {
    for (QChar& c : text) {
        if (c.category() == QChar::Other_Control)
            c = u' ';
    }
    return text;
}

QByteArray Table(const QList<JournalEntry>& entries) {
    QList<QStringList> lines{{QStringLiteral("TIME"), QStringLiteral("KIND"),
                              QStringLiteral("JOB FILE"), QStringLiteral("NUMBER"),
                              QStringLiteral("STATE"), QStringLiteral("REMARK")}};
    for (const JournalEntry& e : entries) {
        lines.append({e.recorded.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")),
                      e.poll ? QStringLiteral("poll") : QStringLiteral("send"), Cell(e.jobFile),
                      Cell(e.number), Cell(e.state), Cell(e.remark)});
    }
    QList<qsizetype> widths(lines.constFirst().size(), 0);
    for (const QStringList& line : lines) {
        for (qsizetype i = 0; i < line.size(); ++i)
            widths[i] = std::max(widths[i], line.at(i).size());
    }
    QString out;
    for (const QStringList& line : lines) {
        QString text;
        for (qsizetype i = 0; i < line.size(); ++i) {
            // The last column is not padded: no trailing blanks.
            text += i + 1 < line.size() ? line.at(i).leftJustified(widths[i] + 2) : line.at(i);
        }
        out += text + u'\n';
    }
    return out.toUtf8();
}

// journal [--json] [--data DIR]: the journal, newest first, as a table or as JSON.
class JournalCommand final : public Command {
public:
    QString Name() const override { return QStringLiteral("journal"); }
    QString Description() const override {
        return QStringLiteral("list the journal, newest first ([--json] [--data DIR])");
    }

    int Execute(int argc, char* argv[], int first) override {
        QCoreApplication app(argc, argv);
        bool json = false;
        QString dataDir;
        for (int i = first; i < argc; ++i) {
            const QByteArray arg(argv[i]);
            if (arg == "--json") {
                json = true;
            } else if (arg == "--data" && i + 1 < argc) {
                dataDir = QString::fromLocal8Bit(argv[++i]);
            } else {
                std::fprintf(stderr, "usage: kalmofax journal [--json] [--data DIR]\n");
                return 2;
            }
        }
        if (dataDir.isEmpty()) {
            const FaxSettings settings = LoadFaxSettings();
            if (!settings.error.isEmpty()) {
                std::fprintf(stderr, "kalmofax: the settings cannot be read: %s\n",
                             qPrintable(settings.error));
                return 1;
            }
            dataDir = settings.dataDir;
        }
        QList<JournalEntry> entries;
        // A data folder without a journal has no jobs yet; listing makes no file.
        if (QFileInfo::exists(JournalStore::DatabasePath(dataDir))) {
            QString error;
            const std::unique_ptr<JournalStore> store = JournalStore::Open(dataDir, error);
            std::optional<QList<JournalEntry>> read;
            if (store)
                read = store->Entries(error);
            if (!read) {
                std::fprintf(stderr, "kalmofax: the journal cannot be read: %s\n",
                             qPrintable(error));
                return 1;
            }
            entries = *read;
        }
        Write(json ? Json(entries) : Table(entries));
        return std::fflush(stdout) == 0 ? 0 : 1;
    }
};

} // namespace

std::unique_ptr<Command> MakeJournalCommand() {
    return std::make_unique<JournalCommand>();
}

} // namespace faxapp
