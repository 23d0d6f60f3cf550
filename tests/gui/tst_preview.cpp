// "Vorschau" starts the real viewer: the send dialog, with the real process launcher, starts
// Kalvw32.exe from a program folder where it is a link to kalmofax, and the viewer shows the
// dialog's print file. The viewer's test hook (KALMOFAX_VIEW_PNG_DIR) writes the page it
// painted first and ends, which proves that the viewer opened that file and showed it.

#include "FakeAutomation.h"
#include "FakeFileDialogs.h"
#include "RecordingMessenger.h"
#include "RecordingUrlOpener.h"
#include "ServiceFakes.h"
#include "TestRegistry.h"
#include "app/SendApp.h"
#include "fax/FaxContract.h"
#include "fax/SffWriter.h"
#include "faxapp/pages/PrintPages.h"
#include "platform/HelpViewer.h"
#include "platform/PosixProcessLauncher.h"
#include "ui/SendDialog.h"
#include "ui/SendServices.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

class NoHelp final : public HelpViewer {
public:
    bool HtmlHelp(const QString&, int, quint32) override { return true; }
};

// A one-page fine document of diagonal stripes, so that a wrong page would not match.
QByteArray StripedSff() {
    SffWriter writer;
    writer.BeginPage(196);
    std::vector<unsigned char> row(SffWriter::kStandardWidth / 8);
    for (int y = 0; y < 400; ++y) {
        std::fill(row.begin(), row.end(), 0);
        for (int x = y % 50; x < SffWriter::kStandardWidth; x += 50)
            for (int i = x; i < x + 10 && i < SffWriter::kStandardWidth; ++i)
                row[i / 8] |= static_cast<unsigned char>(0x80 >> (i % 8));
        writer.AddBitRow(row.data(), SffWriter::kStandardWidth);
    }
    return writer.Finish();
}

} // namespace

class TestPreview : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void previewStartsTheViewer();
};

void TestPreview::previewStartsTheViewer() {
    const QString kalmofax = qEnvironmentVariable("KALMOFAX");
    QVERIFY2(QFile::exists(kalmofax), "KALMOFAX names the built program");
    QTemporaryDir dir;
    const QString programs = dir.filePath("Programme KALMO");
    const QString pictures = dir.filePath("painted");
    QVERIFY(QDir().mkpath(programs));
    QVERIFY(QFile::link(kalmofax, programs + "/" + fax::kProgramViewer));
    const QString printFile = dir.filePath("Mein Fax vom 1. Mai.sff");
    QFile file(printFile);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(StripedSff());
    file.close();
    qputenv("KALMOFAX_VIEW_PNG_DIR", pictures.toLocal8Bit());

    TestRegistry reg;
    RecordingMessenger messages;
    NoHelp help;
    RecordingUrlOpener browser;
    SendApp app{reg.registry(), messages, help, browser, {}};
    app.SetRegistryKey(fax::kRegistryCompany);
    app.SetProfileName(fax::kProfileName);
    app.m_strSystemDir = programs;
    app.m_strDataDir = dir.filePath("Fax");
    FakeAutomation automation;
    automation.RegisterClass(
        fax::kProgIdAddressBook,
        [](int, InvokeKind, const QList<AutoVariant>&) { return AutoVariant::I4(0); });
    PosixProcessLauncher processes;
    FakePresence presence;
    FakeFileDialogs fileDialogs;
    CountingBusy busy;
    FixedClock clock{QDateTime(QDate(2001, 12, 20), QTime(9, 15, 42))};
    SendDialogState state;
    state.m_printFile.path = printFile;
    SendDialog dialog({app, automation, processes, presence, fileDialogs, busy, clock}, state);
    dialog.OnInitDialog();
    dialog.show();
    dialog.OnPreview();
    QVERIFY2(messages.messages.isEmpty(), "the viewer started");

    faxapp::PrintPages pages;
    QVERIFY(pages.Open(printFile));
    const QImage expected = pages.Page(0).convertToFormat(QImage::Format_Mono);
    const QString painted = pictures + "/page-001.png";
    // The picture may be seen while it is being written: wait for the whole, equal one.
    QTRY_VERIFY_WITH_TIMEOUT(QImage(painted).convertToFormat(QImage::Format_Mono) == expected,
                             60000);
}

QTEST_MAIN(TestPreview)
#include "tst_preview.moc"
