#pragma once

// Printing a send report on a CUPS printer: `lp [-d PRINTER] -- FILE`, started without waiting,
// so that a slow or absent print system never holds up the caller.

#include "support/Result.h"

#include <QString>

class ProcessLauncher;

namespace faxapp {

// When a report is printed (value "BerichtDrucken" of section "Fax"), and on which printer
// ("BerichtDrucker"; empty: the system's default).
enum class ReportPrinting { Never = 0, Failures = 1, Always = 2 };
inline const QString kValuePrintReports = QStringLiteral("BerichtDrucken");
inline const QString kValueReportPrinter = QStringLiteral("BerichtDrucker");

struct ReportSettings {
    ReportPrinting printing = ReportPrinting::Never;
    QString printer;
    QString sender; // the account named as the sender
};

// From the user's default store; the sender is the fax server's user, else the login name.
ReportSettings LoadReportSettings(const QString& serverUser);

// A CUPS destination as lp -d takes it: "name" or "name/instance", each of letters, digits,
// "_", "-", "." and "@", not starting with "-", at most 127 characters.
bool IsPrinterName(const QString& name);

// Starts lp for file on printer (empty: the default). file must be an absolute path.
Result<void> PrintReport(ProcessLauncher& launcher, const QString& printer, const QString& file);

} // namespace faxapp
