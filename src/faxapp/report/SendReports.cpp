#include "faxapp/report/SendReports.h"

#include "faxapp/contacts/NumberLookup.h"
#include "faxapp/report/SendReport.h"
#include "support/Clock.h"

#include <cstdio>

namespace faxapp {

SendReports::SendReports(ReportSettings settings, QString dataDir, QString contactsDir,
                         ProcessLauncher& launcher, const Clock& clock)
    : m_settings(std::move(settings)), m_dataDir(std::move(dataDir)),
      m_contactsDir(std::move(contactsDir)), m_launcher(launcher), m_clock(clock) {}

void SendReports::JobEnding(const QString& name, const JobFile& job) {
    FirstPage page;
    if (!job.IsPoll())
        page.image = SentFirstPage(job.Value(JobFile::Field::FileName), page.pageCount);
    m_pages.insert(name, page);
}

void SendReports::JobFiled(const EndedJob& ended) {
    ReportFacts facts = ReportFactsOf(ended, m_clock.Now());
    facts.sender = m_settings.sender;
    facts.name = NameOfNumberIn(m_contactsDir, facts.number);
    const FirstPage page = m_pages.take(ended.name);
    facts.firstPage = page.image;
    facts.documentPages = page.pageCount;
    const QString path = ReportPath(m_dataDir, ended.name);
    if (const auto written = WriteReport(facts, path); !written) {
        std::fprintf(stderr, "kalmofax: send report: %s\n", qPrintable(written.Error().Text()));
        return;
    }
    const bool print = m_settings.printing == ReportPrinting::Always ||
                       (m_settings.printing == ReportPrinting::Failures &&
                        ended.outcome != JobFiler::Outcome::Sent);
    if (!print)
        return;
    if (const auto printed = PrintReport(m_launcher, m_settings.printer, path); !printed)
        std::fprintf(stderr, "kalmofax: send report not printed: %s\n",
                     qPrintable(printed.Error().Text()));
}

void SendReports::PassEnded() {
    m_pages.clear(); // of jobs that could not be filed: rendered again when they are
}

} // namespace faxapp
