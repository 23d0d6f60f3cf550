#include "fax/FaxContract.h"
#include "faxapp/contacts/NumberLookup.h"
#include "faxapp/journal/JournalStore.h"
#include "faxapp/report/ReportPrinter.h"
#include "faxapp/report/SendReport.h"
#include "faxapp/sending/FaxSettings.h"
#include "faxapp/sending/JobOutcome.h"
#include "kalmofax/Commands.h"
#include "platform/PosixProcessLauncher.h"

#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QRegularExpression>
#include <cstdio>

namespace faxapp {

namespace {

using Field = JobFile::Field;

int Usage() {
    std::fprintf(stderr, "usage: kalmofax report [--write] [--print] <job file>\n");
    return 2;
}

// The filed job file: in Comack (sent) or Comerr.
std::optional<EndedJob> FiledJob(const QString& dataDir, const QString& name, QDateTime& filedAt,
                                 QString& error) {
    for (const QString& folder : {fax::kFolderComack, fax::kFolderComerr}) {
        QFile file(dataDir + u'/' + folder + u'/' + name);
        if (!file.open(QIODevice::ReadOnly))
            continue;
        QString why;
        auto job =
            JobFile::Parse(file.read(qint64{JobFile::kLineCount} * JobFile::kMaxLineBytes), &why);
        if (!job) {
            error = file.fileName() + QStringLiteral(": ") + why;
            return std::nullopt;
        }
        filedAt = QFileInfo(file).lastModified();
        EndedJob ended{name, *job, JobFiler::Outcome::Sent, {}, {}};
        if (folder == fax::kFolderComerr)
            ended.outcome = job->Value(Field::Status) == JobOutcome::StatusRefused()
                                ? JobFiler::Outcome::Refused
                                : JobFiler::Outcome::Failed;
        return ended;
    }
    error = name + QStringLiteral(": not filed in ") + fax::kFolderComack + QStringLiteral(" or ") +
            fax::kFolderComerr;
    return std::nullopt;
}

// The server's job id as the journal row's outcome names it ("fax server job 12: ...").
QString ServerJobId(const QString& dataDir, const QString& name) {
    QString error;
    const auto journal = JournalStore::Open(dataDir, error);
    const auto row = journal ? journal->Find(name, error) : std::nullopt;
    static const QRegularExpression id(QStringLiteral("^fax server job (\\S+?):? "));
    const auto match = row ? id.match(row->outcome) : QRegularExpressionMatch();
    return match.hasMatch() ? match.captured(1) : QString();
}

// report: the path of a filed job's send report, written when it is missing (or asked for
// anew), and printed when asked.
class ReportCommand final : public Command {
public:
    QString Name() const override { return QStringLiteral("report"); }
    QString Description() const override {
        return QStringLiteral("prints the path of a filed job's send report, writing it when "
                              "missing [--write] [--print] <job file>");
    }

    int Execute(int argc, char* argv[], int first) override {
        bool write = false;
        bool print = false;
        QString name;
        for (int i = first; i < argc; ++i) {
            const QString arg = QString::fromLocal8Bit(argv[i]);
            if (arg == u"--write")
                write = true;
            else if (arg == u"--print")
                print = true;
            else if (name.isEmpty() && !arg.startsWith(u'-'))
                name = arg;
            else
                return Usage();
        }
        if (!IsJobFileName(name))
            return Usage();
        // Fonts for the report's text need a GUI application, not a display.
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        QGuiApplication app(argc, argv);
        const FaxSettings settings = LoadFaxSettings();
        if (settings.dataDir.isEmpty()) {
            std::fprintf(stderr, "kalmofax: %s\n", qPrintable(settings.error));
            return 1;
        }
        const QString path = ReportPath(settings.dataDir, name);
        const ReportSettings reportSettings = LoadReportSettings(settings.server.user);
        if (write || !QFileInfo::exists(path)) {
            QString error;
            QDateTime filedAt;
            auto ended = FiledJob(settings.dataDir, name, filedAt, error);
            if (!ended) {
                std::fprintf(stderr, "kalmofax: %s\n", qPrintable(error));
                return 1;
            }
            ended->serverJobId = ServerJobId(settings.dataDir, name);
            ReportFacts facts = ReportFactsOf(*ended, filedAt);
            facts.sender = reportSettings.sender;
            facts.name = NameOfNumberIn(settings.contactsDir, facts.number);
            // The document is usually gone once its jobs are filed: the page where it is not.
            if (!ended->job.IsPoll())
                facts.firstPage =
                    SentFirstPage(ended->job.Value(Field::FileName), facts.documentPages);
            if (const auto written = WriteReport(facts, path); !written) {
                std::fprintf(stderr, "kalmofax: %s\n", qPrintable(written.Error().Text()));
                return 1;
            }
        }
        std::printf("%s\n", qPrintable(path));
        if (print) {
            PosixProcessLauncher launcher;
            if (const auto printed = PrintReport(launcher, reportSettings.printer, path);
                !printed) {
                std::fprintf(stderr, "kalmofax: %s\n", qPrintable(printed.Error().Text()));
                return 1;
            }
        }
        return 0;
    }
};

} // namespace

std::unique_ptr<Command> MakeReportCommand() {
    return std::make_unique<ReportCommand>();
}

} // namespace faxapp
