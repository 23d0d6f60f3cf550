// Pictures of the dialogs for the documentation: the send, options and about dialogs with
// example data, and kalmofax's journal window and a send report, in German and in English,
// saved as PNG files (the report as PDF).
//
//   kalmo-screenshots <folder>
//
// Everything outside the process is replaced by example services: an address book of four
// entries, a store in a temporary folder, programs that are never started.
#include "JournalPictures.h"
#include "addressbook/OwnAddressBook.h"
#include "app/SendApp.h"
#include "fax/FaxContract.h"
#include "platform/Automation.h"
#include "platform/HelpViewer.h"
#include "platform/LanguageCatalog.h"
#include "platform/ManualHelp.h"
#include "platform/NonInteractiveMessenger.h"
#include "platform/Presence.h"
#include "platform/ProcessLauncher.h"
#include "platform/RegistryStore.h"
#include "support/Clock.h"
#include "support/StringTable.h"
#include "ui/AboutDialog.h"
#include "ui/FileDialogs.h"
#include "ui/OptionsDialog.h"
#include "ui/SendDialog.h"
#include "ui/SendServices.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLocale>
#include <QTemporaryDir>
#include <QTranslator>
#include <QTreeWidget>
#include <cstdio>

namespace {

const QList<QPair<QString, QString>> kAddressBook{
    {QStringLiteral("Meier, Hans"), QStringLiteral("0711 123456")},
    {QStringLiteral("Müller GmbH"), QStringLiteral("+49 30 9876543")},
    {QStringLiteral("Schmidt & Partner"), QStringLiteral("089 555 0100")},
    {QStringLiteral("Zentrale Einkauf"), QStringLiteral("0221 4711")},
};

// The fax application's address book with the entries above.
class ExampleAddressBook final : public DispatchObject {
public:
    AutoVariant Invoke(int dispid, InvokeKind, const QList<AutoVariant>&) override {
        switch (dispid) {
        case adr::kOpen:
            m_row = 0;
            return AutoVariant::I4(1);
        case adr::kCurrent:
            return AutoVariant::BStr(kAddressBook.at(m_row).first + u'\n' +
                                     kAddressBook.at(m_row).second);
        case adr::kNext:
            return AutoVariant::I4(++m_row < kAddressBook.size() ? 1 : 0);
        default:
            return AutoVariant::I4(0);
        }
    }

private:
    qsizetype m_row = 0;
};

class ExampleAutomation final : public AutomationClient {
public:
    bool Initialise() override { return true; }
    DispatchPtr CreateInstance(const QString& progId, CreateFailure& failure) override {
        if (progId == fax::kProgIdAddressBook)
            return std::make_shared<ExampleAddressBook>();
        failure = {scode::kClassNotRegistered, QStringLiteral("Invalid class string")};
        return nullptr;
    }
};

class NoPrograms final : public ProcessLauncher {
public:
    bool Start(const ProcessStart&) override { return true; }
};

class NoPresence final : public Presence {
public:
    bool IsRunning(const QString&) override { return true; }
};

class NoHelp final : public HelpViewer {
public:
    bool HtmlHelp(const QString&, int, quint32) override { return false; }
};

class NoBrowser final : public UrlOpener {
public:
    bool OpenUrl(const QUrl&) override { return false; }
};

class NoBusy final : public BusyIndicator {
public:
    void Begin() override {}
    void End() override {}
};

class ExampleClock final : public Clock {
public:
    QDateTime Now() const override { return {QDate(2024, 5, 14), QTime(10, 42)}; }
};

// An SFF document head with one fine page, padded to a plausible size.
bool WriteExamplePrint(const QString& path) {
    QByteArray data(1234567, '\0');
    data.replace(0, 4, "Sfff");
    data[10] = 20;
    data[20] = char(0xFE);
    data[21] = 16;
    data[22] = 1;
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size();
}

bool Save(QWidget& widget, const QString& path) {
    widget.show();
    widget.raise();
    widget.activateWindow();
    for (int i = 0; i < 20; ++i)
        QApplication::processEvents();
    if (!widget.grab().save(path, "PNG")) {
        std::fprintf(stderr, "kalmo-screenshots: cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s\n", qPrintable(path));
    widget.hide();
    return true;
}

// The three dialogs in the language in use, as <folder>/<dialog>-<suffix>.png.
bool SaveDialogs(const QString& folder, const QString& suffix, const QString& printFile,
                 const QString& title, const QString& addressBook) {
    QTemporaryDir storeDir;
    Registry registry(
        std::make_unique<RegistryStore>(storeDir.filePath(QStringLiteral("machine.db")),
                                        RegistryStore::Access::ReadWrite),
        std::make_unique<RegistryStore>(storeDir.filePath(QStringLiteral("user.db")),
                                        RegistryStore::Access::ReadWrite));
    NonInteractiveMessenger messenger;
    NoHelp help;
    NoBrowser browser;
    SendApp app(registry, messenger, help, browser, {});
    app.SetRegistryKey(fax::kRegistryCompany);
    app.SetProfileName(fax::kProfileName);
    app.m_strSystemDir = QStringLiteral("/opt/kalmofax");
    app.m_strDataDir = storeDir.filePath(QStringLiteral("Fax"));
    app.SaveNumberHistory({QStringLiteral("0711 123456"), QStringLiteral("040 3344 55")});

    ExampleAutomation automation;
    NoPrograms processes;
    NoPresence presence;
    CancellingFileDialogs fileDialogs;
    NoBusy busy;
    ExampleClock clock;
    const SendServices services{app, automation, processes, presence, fileDialogs, busy, clock};

    SendDialogState state;
    state.m_strCaption = title;
    state.m_strRemark = title;
    state.m_printFile.path = printFile;
    SendDialog send(services, state);
    send.OnInitDialog();
    // One recipient chosen, as the user would.
    if (QTreeWidgetItem* row = send.m_listRecipients->topLevelItem(1))
        row->setSelected(true);
    bool ok = Save(send, QDir(folder).filePath(QStringLiteral("send-dialog-%1.png").arg(suffix)));

    OptionsDialog options(&send, &app);
    options.m_nSendMode = 1;
    options.m_timeSend = QDateTime(QDate(2024, 5, 14), QTime(18, 30));
    options.m_nOutlookSource = 1;
    options.m_strProfile = QStringLiteral("Outlook");
    options.m_strAddressBook = addressBook;
    options.OnInitDialog();
    ok =
        Save(options, QDir(folder).filePath(QStringLiteral("options-dialog-%1.png").arg(suffix))) &&
        ok;

    AboutDialog about(app, processes, &send);
    about.OnInitDialog();
    ok =
        Save(about, QDir(folder).filePath(QStringLiteral("about-dialog-%1.png").arg(suffix))) && ok;
    return ok;
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("kalmosend"));
    const QStringList arguments = QApplication::arguments();
    if (arguments.size() != 2) {
        std::fprintf(stderr, "usage: kalmo-screenshots <folder>\n");
        return 2;
    }
    const QString& folder = arguments.at(1);
    QTemporaryDir work;
    if (!QDir().mkpath(folder) || !work.isValid())
        return 1;
    const QString printFile = work.filePath(QStringLiteral("print.sff"));
    // The pickers show dates as the language's region writes them.
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    if (!WriteExamplePrint(printFile))
        return 1;

    bool ok =
        SaveDialogs(folder, QStringLiteral("de"), printFile, QStringLiteral("Angebot 2024-117"),
                    QStringLiteral("Persönliches Adressbuch"));
    ok = SaveJournalPictures(folder, QStringLiteral("de"), {}) && ok;

    const std::unique_ptr<QTranslator> english = LoadLanguageCatalog(QStringLiteral("EN"));
    if (!english) {
        std::fprintf(stderr, "kalmo-screenshots: no English catalog\n");
        return 1;
    }
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    SetStringCatalog(english.get());
    QApplication::installTranslator(english.get());
    ok = SaveDialogs(folder, QStringLiteral("en"), printFile, QStringLiteral("Quotation 2024-117"),
                     QStringLiteral("Personal Address Book")) &&
         ok;
    QApplication::removeTranslator(english.get());
    SetStringCatalog(nullptr);
    ok = SaveJournalPictures(folder, QStringLiteral("en"), QStringLiteral("EN")) && ok;
    return ok ? 0 : 1;
}
