#include "faxapp/report/ReportPrinter.h"

#include "fax/FaxContract.h"
#include "fax/FaxFolders.h"
#include "platform/ProcessLauncher.h"
#include "platform/RegistryStore.h"
#include "support/FileUtil.h"

#include <QDir>
#include <QRegularExpression>
#include <QStandardPaths>
#include <pwd.h>
#include <unistd.h>

namespace faxapp {

namespace {

QString LoginName() {
    if (const passwd* pw = ::getpwuid(::geteuid()))
        return QString::fromLocal8Bit(pw->pw_name);
    return QString::number(::geteuid());
}

} // namespace

ReportSettings LoadReportSettings(const QString& serverUser) {
    ReportSettings settings;
    auto registry = Registry::OpenDefault();
    const QString key = fax::SectionKey(fax::kSectionFax);
    if (const auto value = registry->User().QueryValue(key, kValuePrintReports)) {
        const auto number = value->ToInteger();
        if (number && *number >= 0 && *number <= 2)
            settings.printing = static_cast<ReportPrinting>(*number);
    }
    if (const auto value = registry->User().QueryValue(key, kValueReportPrinter))
        settings.printer = fax::UpToNul(value->ToText()).trimmed();
    settings.sender = serverUser.isEmpty() ? LoginName() : serverUser;
    return settings;
}

bool IsPrinterName(const QString& name) {
    static const QRegularExpression pattern(
        QStringLiteral("^[A-Za-z0-9_.@][A-Za-z0-9_.@-]*(/[A-Za-z0-9_.@-]+)?$"));
    return name.size() <= 127 && pattern.match(name).hasMatch();
}

Result<void> PrintReport(ProcessLauncher& launcher, const QString& printer, const QString& file) {
    if (!printer.isEmpty() && !IsPrinterName(printer))
        return Problem{0, printer, QStringLiteral("not a printer name")};
    if (!QDir::isAbsolutePath(file))
        return Problem{0, file, QStringLiteral("not an absolute path")};
    ProcessStart start;
    start.program = QStandardPaths::findExecutable(QStringLiteral("lp"));
    if (start.program.isEmpty())
        return Problem{0, QStringLiteral("lp"),
                       QStringLiteral("not found: CUPS's client is not installed")};
    if (!printer.isEmpty())
        start.arguments << QStringLiteral("-d") << printer;
    start.arguments << QStringLiteral("--") << file;
    start.show = ProcessStart::Show::Hidden;
    if (!launcher.Start(start))
        return Problem{0, QStringLiteral("lp"), GetLastErrorText()};
    return {};
}

} // namespace faxapp
