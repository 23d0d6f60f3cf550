#include "faxapp/report/SendReport.h"

#include "faxapp/notify/Notice.h"
#include "faxapp/pages/PageSource.h"
#include "faxapp/pages/PrintPages.h"
#include "support/FileUtil.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>
#include <cmath>

namespace faxapp {

namespace {

using Field = JobFile::Field;

QString Tr(const char* text, int n = -1) {
    return QCoreApplication::translate("faxapp::SendReport", text, nullptr, n);
}

constexpr int kDpi = 300;
constexpr double kMarginMm = 15;

int Dots(double mm) {
    return static_cast<int>(std::lround(mm / 25.4 * kDpi));
}

} // namespace

QString ReportPath(const QString& dataDir, const QString& jobName) {
    return dataDir + QStringLiteral("/Reports/") + jobName + QStringLiteral(".pdf");
}

ReportFacts ReportFactsOf(const EndedJob& ended, const QDateTime& endedAt) {
    ReportFacts facts;
    facts.jobName = ended.name;
    facts.number = ended.job.Value(Field::Address);
    facts.pagesSent = ended.job.Value(Field::Pages).toInt();
    facts.serverJobId = ended.serverJobId;
    const QString error = ended.job.Value(Field::Error);
    const QDate day =
        QDate::fromString(ended.job.Value(Field::FaxDate), QStringLiteral("yy-MM-dd"));
    const QTime time =
        QTime::fromString(ended.job.Value(Field::FaxStart), QStringLiteral("HH:mm:ss"));
    // Two-digit years are this century's.
    facts.when = day.isValid() && time.isValid()
                     ? QDateTime(QDate(2000 + day.year() % 100, day.month(), day.day()), time)
                     : endedAt;
    switch (ended.outcome) {
    case JobFiler::Outcome::Sent:
        facts.result = Tr(QT_TRANSLATE_NOOP("faxapp::SendReport", "gesendet"));
        break;
    case JobFiler::Outcome::Refused:
        facts.result = Tr(QT_TRANSLATE_NOOP("faxapp::SendReport", "abgewiesen, nicht gesendet"));
        facts.error = ReasonOf(error);
        break;
    case JobFiler::Outcome::Cancelled:
    case JobFiler::Outcome::Failed:
        facts.result = ended.outcome == JobFiler::Outcome::Cancelled ||
                               error.contains(QLatin1String("by request"), Qt::CaseInsensitive)
                           ? Tr(QT_TRANSLATE_NOOP("faxapp::SendReport", "abgebrochen"))
                           : Tr(QT_TRANSLATE_NOOP("faxapp::SendReport", "nicht gesendet"));
        facts.error = ReasonOf(error);
        break;
    }
    return facts;
}

QImage SentFirstPage(const QString& document, int& pageCount) {
    pageCount = 0;
    if (document.isEmpty())
        return {};
    QString path = document;
    if (path.endsWith(QLatin1String(".CFF"), Qt::CaseInsensitive)) {
        const QString companion = path.left(path.size() - 4) + QStringLiteral(".SFF");
        if (QFileInfo::exists(companion))
            path = companion;
    }
    PrintPages pages;
    if (!pages.Open(path))
        return {};
    pageCount = pages.PageCount();
    return pages.Page(0);
}

QByteArray ReportPdf(const ReportFacts& facts) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QPdfWriter pdf(&buffer);
    pdf.setResolution(kDpi);
    pdf.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                  QMarginsF(kMarginMm, kMarginMm, kMarginMm, kMarginMm),
                                  QPageLayout::Millimeter));
    pdf.setTitle(Tr(QT_TRANSLATE_NOOP("faxapp::SendReport", "Sendebericht")) + u' ' +
                 facts.jobName);
    pdf.setCreator(QStringLiteral("kalmofax"));
    QPainter p(&pdf);
    const QRect area = pdf.pageLayout().paintRectPixels(kDpi);
    const int width = area.width();
    int y = 0;

    QFont title(QStringLiteral("DejaVu Sans"), 16, QFont::Bold);
    p.setFont(title);
    const int titleHeight = p.fontMetrics().height();
    p.drawText(QRect(0, y, width, titleHeight), Qt::AlignLeft | Qt::AlignVCenter,
               Tr(QT_TRANSLATE_NOOP("faxapp::SendReport", "Sendebericht")));
    y += titleHeight + Dots(4);

    QFont body(QStringLiteral("DejaVu Sans"), 10);
    p.setFont(body);
    const int line = p.fontMetrics().lineSpacing();
    const int labelWidth = Dots(45);
    QString pages =
        Tr(QT_TRANSLATE_N_NOOP("faxapp::SendReport", "%n Seiten gesendet"), facts.pagesSent);
    if (facts.documentPages > 0)
        pages +=
            u' ' + Tr(QT_TRANSLATE_N_NOOP("faxapp::SendReport", "von %n"), facts.documentPages);
    const QList<std::pair<QString, QString>> rows{
        {Tr(QT_TRANSLATE_NOOP("faxapp::SendReport", "Absender")), facts.sender},
        {Tr(QT_TRANSLATE_NOOP("faxapp::SendReport", "Empfänger")), facts.name},
        {Tr(QT_TRANSLATE_NOOP("faxapp::SendReport", "Faxnummer")), facts.number},
        {Tr(QT_TRANSLATE_NOOP("faxapp::SendReport", "Datum und Uhrzeit")),
         QLocale().toString(facts.when, QLocale::ShortFormat)},
        {Tr(QT_TRANSLATE_NOOP("faxapp::SendReport", "Seiten")), pages},
        {Tr(QT_TRANSLATE_NOOP("faxapp::SendReport", "Ergebnis")), facts.result},
        {Tr(QT_TRANSLATE_NOOP("faxapp::SendReport", "Fehler")), facts.error},
        {Tr(QT_TRANSLATE_NOOP("faxapp::SendReport", "Faxserver-Auftrag")), facts.serverJobId},
        {Tr(QT_TRANSLATE_NOOP("faxapp::SendReport", "Auftragsdatei")), facts.jobName},
    };
    for (const auto& [label, value] : rows) {
        if (value.isEmpty())
            continue;
        const QRect valueRect(labelWidth, y, width - labelWidth, line * 4);
        const QRect used = p.boundingRect(valueRect, Qt::TextWordWrap, value);
        p.drawText(QRect(0, y, labelWidth, line), Qt::AlignLeft, label + u':');
        p.drawText(valueRect, Qt::TextWordWrap, value);
        y += std::max(line, std::min(used.height(), line * 4)) + Dots(1);
    }
    y += Dots(4);
    p.drawLine(0, y, width, y);
    y += Dots(4);

    if (!facts.firstPage.isNull()) {
        // The page at its paper size (204 dots across, 196 rows an inch) made smaller to fit
        // below the facts, on at most two thirds of the width.
        const double paperW = facts.firstPage.width() / 204.0;
        const double paperH = facts.firstPage.height() / 196.0;
        const double scale =
            std::min(width * 2.0 / 3 / (paperW * kDpi), (area.height() - y) / (paperH * kDpi));
        const QSize size(static_cast<int>(paperW * kDpi * scale),
                         static_cast<int>(paperH * kDpi * scale));
        const QRect target((width - size.width()) / 2, y, size.width(), size.height());
        const QImage reduced =
            facts.firstPage.convertToFormat(QImage::Format_Grayscale8)
                .scaled(size / 2, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        p.drawImage(target, reduced);
        p.setPen(QPen(Qt::black, Dots(0.3)));
        p.drawRect(target);
    }
    p.end();
    return bytes;
}

Result<void> WriteReport(const ReportFacts& facts, const QString& path) {
    const QString folder = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(folder))
        return Problem{0, folder, QStringLiteral("cannot make the folder")};
    QFile::setPermissions(folder,
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    return ReplaceFilePrivately(path, ReportPdf(facts));
}

} // namespace faxapp
