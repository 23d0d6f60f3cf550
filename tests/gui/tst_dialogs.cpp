// The send dialog's status line and commands, the options dialog, the about box, the English
// catalog and help, offscreen with every outside service faked.
#include "FakeAutomation.h"
#include "FakeFileDialogs.h"
#include "RecordingMessenger.h"
#include "RecordingUrlOpener.h"
#include "ServiceFakes.h"
#include "TestRegistry.h"
#include "app/AddressSources.h"
#include "app/SendApp.h"
#include "fax/FaxContract.h"
#include "platform/HelpViewer.h"
#include "platform/LanguageCatalog.h"
#include "platform/PosixProcessLauncher.h"
#include "support/CInternational.h"
#include "support/FileUtil.h"
#include "support/StringIds.h"
#include "support/StringTable.h"
#include "ui/AboutDialog.h"
#include "ui/OptionsDialog.h"
#include "ui/SendDialog.h"
#include "ui/SendServices.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeEdit>
#include <QTimer>
#include <QTranslator>
#include <functional>

namespace {

const QString kFaxKey = "Software\\ZEB\\Kalmo! 2.0\\Fax";
const QString kSystemDir = "/opt/kalmo fax";

class RecordingHelp final : public HelpViewer {
public:
    bool HtmlHelp(const QString& file, int command, quint32 data) override {
        calls.append(QString("%1 %2 %3").arg(file).arg(command).arg(data, 0, 16));
        return answer;
    }
    QStringList calls;
    bool answer = true; // false: no CHM viewer or no help file
};

// The first bytes of an SFF document with one page in fine or normal resolution.
QByteArray SffHead(bool fine) {
    QByteArray head(40, '\0');
    head.replace(0, 4, "Sfff");
    head[10] = 20; // the first page header follows the document header
    head[20] = char(0xFE);
    head[21] = 16;
    head[22] = fine ? 1 : 0;
    return head;
}

// The child of a dialog by object name; fails the test when it is missing.
template <class T> T* Child(QWidget* parent, const char* name) {
    T* child = parent->findChild<T*>(QString::fromLatin1(name));
    if (!child)
        qFatal("no child %s", name);
    return child;
}

// Acts on the next modal dialog of type T once its event loop runs. A dialog of another
// kind, or none within a few seconds, is rejected so that a failing test does not hang.
template <class T> void OnNextModal(std::function<void(T&)> action) {
    auto* timer = new QTimer(qApp);
    auto tries = std::make_shared<int>(0);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, tries, action] {
        QWidget* modal = QApplication::activeModalWidget();
        if (auto* dialog = qobject_cast<T*>(modal)) {
            timer->deleteLater();
            timer->stop();
            action(*dialog);
            return;
        }
        if (++*tries > 300) {
            timer->deleteLater();
            timer->stop();
            if (auto* other = qobject_cast<QDialog*>(modal))
                other->reject();
        }
    });
    timer->start(10);
}

// The application, the store and every service of the send dialog, faked.
struct Harness {
    TestRegistry reg;
    RecordingMessenger messages;
    RecordingHelp help;
    RecordingUrlOpener browser;
    SendApp app{reg.registry(), messages, help, browser, {}};
    FakeAutomation automation;
    FakeProcessLauncher processes;
    FakePresence presence;
    FakeFileDialogs fileDialogs;
    CountingBusy busy;
    FixedClock clock{QDateTime(QDate(2001, 12, 20), QTime(9, 15, 42))};
    QTemporaryDir dir;

    Harness() {
        app.SetRegistryKey(fax::kRegistryCompany);
        app.SetProfileName(fax::kProfileName);
        app.m_strSystemDir = kSystemDir;
        app.m_strHelpFile = kSystemDir + "/" + fax::kHelpFile;
        app.m_strDataDir = dir.filePath("Fax");
        // An address book without entries.
        automation.RegisterClass(
            fax::kProgIdAddressBook,
            [](int, InvokeKind, const QList<AutoVariant>&) { return AutoVariant::I4(0); });
    }

    SendServices Services() {
        return {app, automation, processes, presence, fileDialogs, busy, clock};
    }

    // A print file of head padded with zeros to size bytes.
    QString PrintFile(const QString& name, QByteArray head, qint64 size) {
        const QString path = dir.filePath(name);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly))
            qFatal("cannot write %s", qPrintable(path));
        if (head.size() < size)
            head.append(QByteArray(size - head.size(), '\0'));
        file.write(head.left(size));
        return path;
    }

    // The send dialog on a print file, initialised as start-up leaves it.
    std::unique_ptr<SendDialog> Open(const QString& printFile, bool fileButton = false) {
        SendDialogState state;
        state.m_printFile.path = printFile;
        state.m_bFileButton = fileButton ? 1 : 0;
        auto dialog = std::make_unique<SendDialog>(Services(), state);
        dialog->OnInitDialog();
        dialog->show();
        return dialog;
    }

    int AddressBookCreations() const {
        return int(automation.creations.count(fax::kProgIdAddressBook));
    }

    QMap<QString, QString> FaxValues() {
        QMap<QString, QString> values;
        for (const auto& [name, value] : reg.User().Values(kFaxKey))
            values.insert(name, value.ToText());
        return values;
    }
};

QString Status(SendDialog& dialog) {
    return Child<QLabel>(&dialog, "labelStatus")->text();
}

// Picks "S&päter" with the date and time given, then OK.
void ChooseLater(OptionsDialog& options, QDate date, QTime time) {
    Child<QRadioButton>(&options, "radioSendLater")->click();
    Child<QDateEdit>(&options, "m_dateCtrl")->setDate(date);
    Child<QTimeEdit>(&options, "m_timeCtrl")->setTime(time);
    Child<QPushButton>(&options, "btnOk")->click();
}

// Installs a language catalog for the texts and the dialogs, and removes it again.
class CatalogScope {
public:
    explicit CatalogScope(std::unique_ptr<QTranslator> catalog) : m_catalog(std::move(catalog)) {
        if (!m_catalog)
            return;
        SetStringCatalog(m_catalog.get());
        QCoreApplication::installTranslator(m_catalog.get());
    }
    ~CatalogScope() {
        if (!m_catalog)
            return;
        QCoreApplication::removeTranslator(m_catalog.get());
        SetStringCatalog(nullptr);
    }
    CatalogScope(const CatalogScope&) = delete;
    CatalogScope& operator=(const CatalogScope&) = delete;
    bool Loaded() const { return m_catalog != nullptr; }

private:
    std::unique_ptr<QTranslator> m_catalog;
};

QDateTime Local(QDate date, QTime time) {
    return QDateTime(date, time);
}

} // namespace

class TestDialogs : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void status_data();
    void status();
    void statusAfterLaterTime();
    void statusNotTakenOnCancel();

    void optionsSendMode_data();
    void optionsSendMode();
    void optionsLaterTime();
    void optionsNowKeepsTime();
    void optionsOutlookFields_data();
    void optionsOutlookFields();
    void optionsHiddenTextReturned();
    void optionsSourceNotSetUp();

    void applyOptions_data();
    void applyOptions();

    void preview();
    void previewFailure_data();
    void previewFailure();
    void previewWithoutPrintFile();
    void addressBook();
    void fileNameUpdatesStatus();

    void aboutTexts();
    void aboutPicture();
    void aboutVersionWithoutFolder();
    void aboutFromContextMenu();

    void english();
    void missingCatalogKeepsGerman();

    void help_data();
    void help();

    void enterPressesFocusedButton_data();
    void enterPressesFocusedButton();
};

void TestDialogs::status_data() {
    QTest::addColumn<QByteArray>("head");
    QTest::addColumn<qint64>("size"); // -1: no print file
    QTest::addColumn<QString>("firstLine");
    QTest::newRow("SFF fine") << SffHead(true) << qint64(1234567)
                              << "SFF-Format, 1.234.567 Bytes, Fein";
    QTest::newRow("SFF normal") << SffHead(false) << qint64(4000)
                                << "SFF-Format, 4.000 Bytes, Normal";
    QTest::newRow("PCX") << QByteArray::fromHex("0A050108") << qint64(2048)
                         << "PCX-Format, 2.048 Bytes, Fein";
    QTest::newRow("colour") << QByteArray::fromHex("FFD8FFE0") << qint64(999)
                            << "Farbfax-Format, 999 Bytes, Fein";
    QTest::newRow("text") << QByteArray("Hallo Welt") << qint64(10)
                          << "ASCII-Format, 10 Bytes, Normal";
    QTest::newRow("TIFF counts as ASCII")
        << QByteArray("II*\0", 4) << qint64(100) << "ASCII-Format, 100 Bytes, Normal";
    QTest::newRow("no print file") << QByteArray() << qint64(-1) << "SFF-Format, 0 Bytes, Normal";
}

void TestDialogs::status() {
    QFETCH(QByteArray, head);
    QFETCH(qint64, size);
    QFETCH(QString, firstLine);
    Harness h;
    const QString file = size < 0 ? QString() : h.PrintFile("Druck.sff", head, size);
    auto dialog = h.Open(file);
    QCOMPARE(Status(*dialog), firstLine + "\nVersand sofort");
    QCOMPARE(dialog->m_strStatus, Status(*dialog));
    QVERIFY(h.messages.messages.isEmpty());
}

void TestDialogs::statusAfterLaterTime() {
    Harness h;
    auto dialog = h.Open(h.PrintFile("Druck.sff", SffHead(true), 1234567));
    OnNextModal<OptionsDialog>(
        [](OptionsDialog& o) { ChooseLater(o, QDate(2001, 12, 24), QTime(18, 30)); });
    dialog->OnOptions();

    const QDateTime when = Local(QDate(2001, 12, 24), QTime(18, 30));
    QCOMPARE(dialog->m_bSendLater, 1);
    QCOMPARE(dialog->m_timeSend, when);
    const std::time_t t = when.toSecsSinceEpoch();
    QCOMPARE(Status(*dialog), "SFF-Format, 1.234.567 Bytes, Fein\nVersand am " + GetDateText(t) +
                                  " um " + GetTimeText(t));
    // Under C.UTF-8 with nothing in the store the regional defaults apply.
    if (qEnvironmentVariable("LC_ALL") == "C.UTF-8")
        QCOMPARE(Status(*dialog).section('\n', 1), "Versand am 12/24/2001 um 06:30 PM");
    // Nothing of the Outlook settings changed: nothing written, the list not rebuilt.
    QVERIFY(h.FaxValues().isEmpty());
    QCOMPARE(h.AddressBookCreations(), 1);
}

void TestDialogs::statusNotTakenOnCancel() {
    Harness h;
    auto dialog = h.Open(QString());
    const QDateTime before = dialog->m_timeSend;
    OnNextModal<OptionsDialog>([](OptionsDialog& o) {
        Child<QRadioButton>(&o, "radioSendLater")->click();
        Child<QLineEdit>(&o, "editProfile")->setText("Anders");
        Child<QPushButton>(&o, "btnCancel")->click();
    });
    dialog->OnOptions();
    QCOMPARE(dialog->m_bSendLater, 0);
    QCOMPARE(dialog->m_timeSend, before);
    QCOMPARE(Status(*dialog), "SFF-Format, 0 Bytes, Normal\nVersand sofort");
    QVERIFY(h.FaxValues().isEmpty());
    QCOMPARE(h.AddressBookCreations(), 1);
}

void TestDialogs::optionsSendMode_data() {
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("enabled");
    QTest::newRow("at once") << 0 << false;
    QTest::newRow("later") << 1 << true;
}

void TestDialogs::optionsSendMode() {
    QFETCH(int, mode);
    QFETCH(bool, enabled);
    OptionsDialog options;
    options.m_nSendMode = mode;
    options.m_timeSend = Local(QDate(2002, 3, 4), QTime(7, 5, 33));
    options.OnInitDialog();
    options.show();

    auto* date = Child<QDateEdit>(&options, "m_dateCtrl");
    auto* time = Child<QTimeEdit>(&options, "m_timeCtrl");
    QCOMPARE(date->date(), QDate(2002, 3, 4));
    QCOMPARE(time->time().hour(), 7);
    QCOMPARE(time->time().minute(), 5);
    QCOMPARE(time->displayFormat(), QString("HH:mm"));
    for (QWidget* w : {static_cast<QWidget*>(date), static_cast<QWidget*>(time),
                       static_cast<QWidget*>(Child<QLabel>(&options, "labelDate")),
                       static_cast<QWidget*>(Child<QLabel>(&options, "labelTime"))})
        QCOMPARE(w->isEnabled(), enabled);
    QCOMPARE(Child<QRadioButton>(&options, "radioSendNow")->isChecked(), mode == 0);
    QCOMPARE(Child<QRadioButton>(&options, "radioSendLater")->isChecked(), mode == 1);

    Child<QRadioButton>(&options, "radioSendLater")->click();
    QVERIFY(date->isEnabled() && time->isEnabled());
    QVERIFY(Child<QLabel>(&options, "labelDate")->isEnabled());
    QVERIFY(Child<QLabel>(&options, "labelTime")->isEnabled());
    Child<QRadioButton>(&options, "radioSendNow")->click();
    QVERIFY(!date->isEnabled() && !time->isEnabled());
}

void TestDialogs::optionsLaterTime() {
    OptionsDialog options;
    options.m_nSendMode = 0;
    options.m_timeSend = Local(QDate(2030, 1, 1), QTime(12, 0));
    options.OnInitDialog();
    options.show();
    ChooseLater(options, QDate(2001, 12, 24), QTime(18, 30));
    QCOMPARE(options.result(), int(QDialog::Accepted));
    QCOMPARE(options.m_nSendMode, 1);
    // A time long past is taken as it is, seconds 0.
    QCOMPARE(options.m_timeSend, Local(QDate(2001, 12, 24), QTime(18, 30, 0)));
    QCOMPARE(options.m_timeSend.timeSpec(), Qt::LocalTime);
}

void TestDialogs::optionsNowKeepsTime() {
    const QDateTime handedIn = Local(QDate(2002, 3, 4), QTime(7, 5, 33));
    OptionsDialog options;
    options.m_nSendMode = 1;
    options.m_timeSend = handedIn;
    options.OnInitDialog();
    options.show();
    Child<QDateEdit>(&options, "m_dateCtrl")->setDate(QDate(2001, 12, 24));
    Child<QTimeEdit>(&options, "m_timeCtrl")->setTime(QTime(18, 30));
    Child<QRadioButton>(&options, "radioSendNow")->click();
    Child<QPushButton>(&options, "btnOk")->click();
    QCOMPARE(options.m_nSendMode, 0);
    QCOMPARE(options.m_timeSend, handedIn);
}

void TestDialogs::optionsOutlookFields_data() {
    QTest::addColumn<int>("source");
    QTest::addColumn<bool>("profile"); // profile and address book with their labels
    QTest::addColumn<bool>("contacts");
    QTest::newRow("none") << 0 << false << false;
    QTest::newRow("personal address book") << 1 << true << false;
    QTest::newRow("contacts folder") << 2 << false << true;
    QTest::newRow("no choice") << -1 << true << true;
    QTest::newRow("unknown source") << 7 << true << true;
}

void TestDialogs::optionsOutlookFields() {
    QFETCH(int, source);
    QFETCH(bool, profile);
    QFETCH(bool, contacts);
    OptionsDialog options;
    options.m_nSendMode = 0;
    options.m_nOutlookSource = source;
    options.m_timeSend = Local(QDate(2002, 3, 4), QTime(7, 5));
    options.OnInitDialog();
    options.show();
    for (const char* name : {"labelProfile", "editProfile", "labelAddressBook", "editAddressBook"})
        QVERIFY2(Child<QWidget>(&options, name)->isVisible() == profile, name);
    for (const char* name : {"labelContacts", "editContacts"})
        QVERIFY2(Child<QWidget>(&options, name)->isVisible() == contacts, name);
}

void TestDialogs::optionsHiddenTextReturned() {
    OptionsDialog options;
    options.m_nSendMode = 0;
    options.m_nOutlookSource = 2;
    options.m_strContacts = "Kontakte";
    options.m_strProfile = "Outlook";
    options.m_timeSend = Local(QDate(2002, 3, 4), QTime(7, 5));
    options.OnInitDialog();
    options.show();
    QCOMPARE(Child<QLineEdit>(&options, "editContacts")->text(), QString("Kontakte"));
    Child<QLineEdit>(&options, "editContacts")->setText("Kunden");
    Child<QRadioButton>(&options, "radioOutlookAddressBook")->click();
    QVERIFY(!Child<QWidget>(&options, "editContacts")->isVisible());
    QVERIFY(Child<QWidget>(&options, "editProfile")->isVisible());
    QVERIFY(Child<QWidget>(&options, "editAddressBook")->isVisible());
    Child<QPushButton>(&options, "btnOk")->click();
    QCOMPARE(options.m_nOutlookSource, 1);
    QCOMPARE(options.m_strContacts, QString("Kunden"));
    QCOMPARE(options.m_strProfile, QString("Outlook"));
}

void TestDialogs::applyOptions_data() {
    QTest::addColumn<QString>("control"); // edit to set, or radio button to click
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("written"); // "" when nothing may be written
    QTest::addColumn<QString>("value");
    QTest::newRow("nothing changed") << ""
                                     << ""
                                     << ""
                                     << "";
    QTest::newRow("profile differing in case") << "editProfile"
                                               << "outlook"
                                               << "OutlookProfil"
                                               << "outlook";
    QTest::newRow("address book") << "editAddressBook"
                                  << "Privat"
                                  << "OutlookAdressbuch"
                                  << "Privat";
    QTest::newRow("contacts folder") << "editContacts"
                                     << "Kunden"
                                     << "OutlookKontakte"
                                     << "Kunden";
    QTest::newRow("source") << "radioOutlookAddressBook"
                            << ""
                            << "UseOutlook"
                            << "1";
}

void TestDialogs::applyOptions() {
    QFETCH(QString, control);
    QFETCH(QString, text);
    QFETCH(QString, written);
    QFETCH(QString, value);
    Harness h;
    TestRegistry::Set(h.reg.User(), kFaxKey, "OutlookProfil", "Outlook");
    // A directory set up in kalmofax: the personal address book may be chosen.
    QVERIFY(h.reg.User().CreateKey(kFaxKey + "\\Directories\\Outlook"));
    const QMap<QString, QString> before = h.FaxValues();
    auto dialog = h.Open(QString());
    QCOMPARE(h.AddressBookCreations(), 1);
    // A stale status shows whether it is rebuilt.
    Child<QLabel>(dialog.get(), "labelStatus")->setText("alt");

    OnNextModal<OptionsDialog>([&](OptionsDialog& o) {
        if (!control.isEmpty()) {
            if (auto* edit = o.findChild<QLineEdit*>(control))
                edit->setText(text);
            else
                Child<QRadioButton>(&o, qPrintable(control))->click();
        }
        Child<QPushButton>(&o, "btnOk")->click();
    });
    dialog->OnOptions();

    QMap<QString, QString> expected = before;
    if (!written.isEmpty())
        expected.insert(written, value);
    QCOMPARE(h.FaxValues(), expected);
    QCOMPARE(h.AddressBookCreations(), written.isEmpty() ? 1 : 2);
    QCOMPARE(Status(*dialog), "SFF-Format, 0 Bytes, Normal\nVersand sofort");
    if (written == "OutlookProfil")
        QCOMPARE(dialog->m_strOutlookProfile, value);
}

void TestDialogs::preview() {
    Harness h;
    const QString file = h.PrintFile("Mein Fax vom 1. Mai.sff", SffHead(false), 100);
    auto dialog = h.Open(file);
    Child<QPushButton>(dialog.get(), "btnPreview")->click();
    QCOMPARE(h.processes.starts.size(), 1);
    const ProcessStart& start = h.processes.starts.first();
    QCOMPARE(start.program, kSystemDir + "/Kalvw32.exe");
    QCOMPARE(start.arguments, QStringList{file});
    QVERIFY(!start.wait);
    QCOMPARE(start.show, ProcessStart::Show::Normal);
    QVERIFY(h.messages.messages.isEmpty());
}

void TestDialogs::previewFailure_data() {
    QTest::addColumn<int>("error");
    QTest::addColumn<int>("id");
    QTest::addColumn<QString>("text");
    QTest::newRow("viewer missing") << ENOENT << 627 << "Faxanzeige ist nicht vorhanden";
    QTest::newRow("not startable")
        << EACCES << 626 << "Fehler beim Starten der Faxanzeige\n" + GetErrorText(EACCES);
}

void TestDialogs::previewFailure() {
    QFETCH(int, error);
    QFETCH(int, id);
    QFETCH(QString, text);
    Harness h;
    h.processes.failures.insert(kSystemDir + "/Kalvw32.exe", error);
    auto dialog = h.Open(h.PrintFile("Druck.sff", SffHead(false), 100));
    dialog->OnPreview();
    QCOMPARE(h.messages.Ids(), QList<int>{id});
    QCOMPARE(h.messages.messages.first().text, text);
    QCOMPARE(h.messages.messages.first().kind, MessageKind::Warning);
    QVERIFY(dialog->isVisible());
}

void TestDialogs::previewWithoutPrintFile() {
    Harness h;
    auto dialog = h.Open(QString());
    dialog->OnPreview();
    QVERIFY(h.processes.starts.isEmpty());
    QVERIFY(h.messages.messages.isEmpty());
}

void TestDialogs::addressBook() {
    Harness h;
    auto dialog = h.Open(QString());
    Child<QPushButton>(dialog.get(), "m_btnAddressBook")->click();
    QCOMPARE(h.processes.Programs(), QStringList{kSystemDir + "/KalAdr32.exe"});
    QVERIFY(h.processes.starts.first().arguments.isEmpty());
    QVERIFY(h.messages.messages.isEmpty());
    QCOMPARE(h.AddressBookCreations(), 1); // the list is not refreshed

    h.processes.failures.insert(kSystemDir + "/KalAdr32.exe", ENOENT);
    dialog->OnAddressBook();
    QCOMPARE(h.messages.Ids(), QList<int>{615});
    QCOMPARE(h.messages.messages.first().text, "Das Adressbuch kann nicht gestartet werden");
    QCOMPARE(h.messages.messages.first().kind, MessageKind::Information);
}

void TestDialogs::fileNameUpdatesStatus() {
    Harness h;
    const QString first = h.PrintFile("Druck.sff", SffHead(true), 1234567);
    const QString other = h.PrintFile("Anders.pcx", QByteArray::fromHex("0A050108"), 50);
    auto dialog = h.Open(first, true);
    const QString status = Status(*dialog);
    h.fileDialogs.openAnswer = other;
    auto* button = Child<QPushButton>(dialog.get(), "m_btnFileName");
    QVERIFY(button->isVisible() && button->isEnabled());
    button->click();
    QCOMPARE(h.fileDialogs.opens.size(), 1);
    QCOMPARE(h.fileDialogs.opens.first().filter, LoadString(IDS_FILTER_OPEN));
    QCOMPARE(h.fileDialogs.opens.first().preset, first);
    QCOMPARE(dialog->Order().File().path, other);
    // The status line describes the file that goes.
    QVERIFY(Status(*dialog) != status);
    QCOMPARE(Status(*dialog).section('\n', 0, 0), QString("PCX-Format, 50 Bytes, Fein"));
    QCOMPARE(dialog->Order().Examined().m_nSize, 50u);

    h.fileDialogs.openAnswer.reset(); // cancelled: the file stays
    button->click();
    QCOMPARE(dialog->Order().File().path, other);
}

void TestDialogs::aboutTexts() {
    Harness h;
    AboutDialog about(h.app, h.processes);
    about.OnInitDialog();
    QCOMPARE(Child<QLabel>(&about, "labelProgram")->text(), QString("KALMO!send"));
    QCOMPARE(Child<QLabel>(&about, "labelVersion")->text(), QString("Version 3.01 Revision 1.14"));
    QCOMPARE(about.windowTitle(), QString("Über KALMO!send"));
    QCOMPARE(Child<QPushButton>(&about, "btnVersion")->text(), QString("KALMO!version"));
}

void TestDialogs::aboutPicture() {
    Harness h;
    AboutDialog about(h.app, h.processes);
    about.OnInitDialog();
    about.show();
    auto* picture = Child<QLabel>(&about, "m_staticPicture");
    const QImage source(":/images/about103.xpm");
    QVERIFY(!source.isNull());

    auto check = [&](const QPalette& palette) {
        const QRect place = picture->geometry();
        QCOMPARE(place.size(), source.size());
        QCOMPARE(place.x() + place.width(), about.width() - 1);
        QCOMPARE(place.y() + place.height(), about.height() - 1);
        const QImage shown = picture->pixmap().toImage().convertToFormat(QImage::Format_RGB32);
        QCOMPARE(shown.size(), source.size());
        const QMap<QRgb, QColor> map{
            {qRgb(0, 0, 0), palette.color(QPalette::Active, QPalette::ButtonText)},
            {qRgb(255, 255, 255), palette.color(QPalette::Active, QPalette::Light)},
            {qRgb(128, 128, 128), palette.color(QPalette::Active, QPalette::Dark)},
            {qRgb(192, 192, 192), palette.color(QPalette::Active, QPalette::Button)}};
        int mapped = 0;
        for (int y = 0; y < source.height(); ++y) {
            for (int x = 0; x < source.width(); ++x) {
                const QRgb from = source.pixel(x, y) | 0xff000000u;
                const QRgb want = map.contains(from) ? map.value(from).rgb() : from;
                mapped += map.contains(from);
                if (shown.pixel(x, y) != want)
                    QFAIL(qPrintable(QString("pixel %1,%2 is %3, not %4")
                                         .arg(x)
                                         .arg(y)
                                         .arg(shown.pixel(x, y), 0, 16)
                                         .arg(want, 0, 16)));
            }
        }
        QVERIFY(mapped > 0);
    };
    check(about.palette());
    const QRect place = picture->geometry();

    QPalette scheme = about.palette();
    scheme.setColor(QPalette::ButtonText, QColor(200, 0, 0));
    scheme.setColor(QPalette::Light, QColor(0, 200, 0));
    scheme.setColor(QPalette::Dark, QColor(0, 0, 200));
    scheme.setColor(QPalette::Button, QColor(200, 200, 0));
    about.setPalette(scheme);
    check(scheme);
    QCOMPARE(picture->geometry(), place);
}

void TestDialogs::aboutVersionWithoutFolder() {
    Harness h;
    h.app.m_strSystemDir.clear();
    PosixProcessLauncher processes;
    QTemporaryDir cwd; // nothing of that name in the current folder either
    const QString oldCwd = QDir::currentPath();
    QDir::setCurrent(cwd.path());
    AboutDialog about(h.app, processes);
    about.OnInitDialog();
    about.show();
    Child<QPushButton>(&about, "btnVersion")->click();
    QDir::setCurrent(oldCwd);
    QCOMPARE(h.messages.Ids(), QList<int>{625});
    QCOMPARE(h.messages.messages.first().text,
             "Die Versionsanzeige kann nicht gestartet werden\n" + GetErrorText(ENOENT));
    QCOMPARE(h.messages.messages.first().kind, MessageKind::Warning);
    QVERIFY(about.isVisible());

    // With the folder set the program is started from there.
    FakeProcessLauncher fake;
    h.app.m_strSystemDir = kSystemDir;
    AboutDialog second(h.app, fake);
    second.OnInitDialog();
    second.OnVersion();
    QCOMPARE(fake.Programs(), QStringList{kSystemDir + "/KalVer32.exe"});
    QVERIFY(fake.starts.first().arguments.isEmpty());
}

void TestDialogs::aboutFromContextMenu() {
    Harness h;
    auto dialog = h.Open(QString());
    QStringList items;
    QString program;
    // The menu's event loop runs inside the context menu event: pick the item from there.
    auto* timer = new QTimer(this);
    connect(timer, &QTimer::timeout, this, [&, timer] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (!menu)
            return;
        timer->stop();
        for (QAction* action : menu->actions())
            items << action->text();
        if (!menu->actions().isEmpty())
            menu->actions().first()->trigger();
        menu->close();
    });
    timer->start(10);
    OnNextModal<AboutDialog>([&](AboutDialog& about) {
        program = about.m_strProgram;
        about.accept();
    });
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5),
                            dialog->mapToGlobal(QPoint(5, 5)));
    QCoreApplication::sendEvent(dialog.get(), &event);
    QTRY_COMPARE(program, QString("KALMO!send"));
    QCOMPARE(items, QStringList{"Inf&o über KALMO!send"});
    QVERIFY(!dialog->IsClosed());
    delete timer;
}

void TestDialogs::english() {
    CatalogScope catalog(LoadLanguageCatalog("EN"));
    QVERIFY(catalog.Loaded());
    QCOMPARE(LoadString(IDS_ERR_NO_FILENAME), QString("No file name given"));

    Harness h;
    auto send = h.Open(QString());
    QCOMPARE(Child<QPushButton>(send.get(), "btnOptions")->text(), QString("&Options"));
    QCOMPARE(Child<QPushButton>(send.get(), "btnHelp")->text(), QString("&Help"));
    QCOMPARE(Child<QPushButton>(send.get(), "btnCancel")->text(), QString("Cancel"));
    QCOMPARE(Child<QLabel>(send.get(), "labelNumber")->text(), QString("&Fax number"));
    QCOMPARE(Status(*send), QString("SFF format, 0 bytes, Normal\nSend immediately"));

    OptionsDialog options;
    QCOMPARE(options.windowTitle(), QString("Options"));
    QCOMPARE(Child<QRadioButton>(&options, "radioSendLater")->text(), QString("&Later"));
    QCOMPARE(Child<QRadioButton>(&options, "radioOutlookContacts")->text(),
             QString("Use an Outlook contacts folder"));
    QCOMPARE(Child<QPushButton>(&options, "btnHelp")->text(), QString("Help"));

    AboutDialog about(h.app, h.processes);
    about.OnInitDialog();
    QCOMPARE(about.windowTitle(), QString("About KALMO!send"));
    QCOMPARE(Child<QLabel>(&about, "labelVersion")->text(), QString("Version 3.01 Revision 1.14"));

    h.processes.failures.insert(kSystemDir + "/Kalvw32.exe", ENOENT);
    h.fileDialogs.openAnswer = "x.sff";
    send->OnFileName();
    send->OnPreview();
    QCOMPARE(h.messages.messages.first().text, QString("The fax viewer is not present"));
}

void TestDialogs::missingCatalogKeepsGerman() {
    CatalogScope catalog(LoadLanguageCatalog("XX"));
    QVERIFY(!catalog.Loaded());
    QCOMPARE(LoadString(IDS_ERR_NO_FILENAME), QString("Keinen Dateinamen angegeben"));
    Harness h;
    auto send = h.Open(QString());
    QCOMPARE(Child<QPushButton>(send.get(), "btnOptions")->text(), QString("&Optionen"));
    QCOMPARE(Status(*send), QString("SFF-Format, 0 Bytes, Normal\nVersand sofort"));
    OptionsDialog options;
    QCOMPARE(Child<QRadioButton>(&options, "radioSendLater")->text(), QString("S&päter"));
}

void TestDialogs::help_data() {
    QTest::addColumn<QString>("dialog");
    QTest::addColumn<bool>("key"); // F1 instead of the button
    QTest::newRow("send dialog button") << "send" << false;
    QTest::newRow("send dialog F1") << "send" << true;
    QTest::newRow("options button") << "options" << false;
    QTest::newRow("options F1") << "options" << true;
}

void TestDialogs::help() {
    QFETCH(QString, dialog);
    QFETCH(bool, key);
    Harness h;
    auto send = h.Open(QString());
    std::unique_ptr<OptionsDialog> options;
    QWidget* window = send.get();
    if (dialog == "options") {
        options = std::make_unique<OptionsDialog>(send.get(), &h.app);
        options->m_nSendMode = 0;
        options->m_timeSend = h.clock.now;
        options->OnInitDialog();
        options->show();
        window = options.get();
    }
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window));
    const auto ask = [&] {
        if (key)
            QTest::keyClick(window->focusWidget() ? window->focusWidget() : window, Qt::Key_F1);
        else
            Child<QPushButton>(window, "btnHelp")->click();
    };
    ask();
    QCOMPARE(h.help.calls, QStringList{h.app.m_strHelpFile + " 15 70010"});
    QVERIFY(h.browser.opened.isEmpty());
    // Without the CHM help the dialog's own page of the manual.
    h.help.answer = false;
    ask();
    QCOMPARE(h.browser.opened.size(), 1);
    QVERIFY2(h.browser.opened.first().endsWith("/de/" + dialog + "-dialog.html"),
             qPrintable(h.browser.opened.first()));
    QVERIFY(h.messages.messages.isEmpty());
    QVERIFY(window->isVisible());
}

void TestDialogs::enterPressesFocusedButton_data() {
    QTest::addColumn<QString>("dialog");
    QTest::addColumn<QString>("focus");   // object name of the widget with the focus
    QTest::addColumn<QString>("pressed"); // the button that must act
    for (const char* button : {"btnOk", "btnCancel", "btnHelp", "btnPreview", "btnOptions",
                               "m_btnRefresh", "m_btnAddressBook", "m_btnFileName"})
        QTest::addRow("send: %s", button) << "send" << button << button;
    QTest::newRow("send: number field") << "send"
                                        << "m_comboNumber"
                                        << "btnOk";
    for (const char* button : {"btnOk", "btnCancel", "btnHelp"})
        QTest::addRow("options: %s", button) << "options" << button << button;
    QTest::newRow("options: send time choice") << "options"
                                               << "radioSendNow"
                                               << "btnOk";
    for (const char* button : {"btnOk", "btnVersion"})
        QTest::addRow("about: %s", button) << "about" << button << button;
}

// Enter on a button with the focus presses that button, as a click does; only where no
// button has the focus does it reach the default button.
void TestDialogs::enterPressesFocusedButton() {
    QFETCH(QString, dialog);
    QFETCH(QString, focus);
    QFETCH(QString, pressed);
    Harness h;
    auto send = h.Open(h.PrintFile("Druck.sff", SffHead(true), 100), true);
    std::unique_ptr<QDialog> other;
    QDialog* window = send.get();
    if (dialog == "options") {
        auto options = std::make_unique<OptionsDialog>(send.get(), &h.app);
        options->m_timeSend = h.clock.now;
        options->OnInitDialog();
        other = std::move(options);
    } else if (dialog == "about") {
        auto about = std::make_unique<AboutDialog>(h.app, h.processes, send.get());
        about->OnInitDialog();
        other = std::move(about);
    }
    if (other) {
        other->show();
        window = other.get();
    }
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window));

    QMap<QString, int> clicks;
    for (QPushButton* button : window->findChildren<QPushButton*>())
        connect(button, &QPushButton::clicked, this,
                [&clicks, button] { ++clicks[button->objectName()]; });
    // The options button opens its dialog modally: let it go at once.
    if (pressed == "btnOptions")
        OnNextModal<OptionsDialog>([](OptionsDialog& options) { options.reject(); });

    auto* target = window->findChild<QWidget*>(focus);
    QVERIFY(target);
    target->setFocus();
    QVERIFY(target->hasFocus() || target->isAncestorOf(QApplication::focusWidget()));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);

    QCOMPARE(clicks, (QMap<QString, int>{{pressed, 1}}));
    // A button added later without autoDefault would hand Enter to OK again.
    for (const QPushButton* button : window->findChildren<QPushButton*>())
        QVERIFY2(button->autoDefault(), qPrintable(button->objectName()));
    const bool closes = pressed == "btnCancel" || (dialog != "send" && pressed == "btnOk");
    QCOMPARE(window->isVisible(), !closes);
    if (closes)
        QCOMPARE(window->result(),
                 pressed == "btnOk" ? int(QDialog::Accepted) : int(QDialog::Rejected));
}

void TestDialogs::optionsSourceNotSetUp() {
    TestRegistry reg;
    RecordingMessenger messages;
    AppBase app{reg.registry(), messages};
    app.SetRegistryKey(fax::kRegistryCompany);
    app.SetProfileName(fax::kProfileName);
    app.m_strSystemDir = QStringLiteral("/opt/kalmo");
    FakeProcessLauncher processes;
    // A CardDAV account set up machine-wide, a second per user; no directory.
    const QString cardDav = app.SectionKey(fax::kSectionFax) + QStringLiteral("\\CardDav");
    QVERIFY(reg.Machine().CreateKey(cardDav + QStringLiteral("\\Büro")));
    QVERIFY(reg.User().CreateKey(cardDav + QStringLiteral("\\Privat")));

    OptionsDialog options(nullptr, &app);
    options.SetAddressSources(ReadAddressSources(app), &processes);
    options.m_nSendMode = 0;
    options.m_nOutlookSource = 0;
    options.m_timeSend = Local(QDate(2026, 12, 24), QTime(10, 0));
    options.OnInitDialog();
    options.show();
    auto* use = Child<QLabel>(&options, "labelSourceUse");
    QVERIFY(!use->isVisible());
    Child<QRadioButton>(&options, "radioOutlookContacts")->click();
    QVERIFY(use->isVisible());
    QVERIFY2(use->text().contains(QStringLiteral("Büro, Privat")), qPrintable(use->text()));

    // The personal address book has nothing to read: OK keeps the dialog open and offers
    // kalmofax's settings.
    Child<QRadioButton>(&options, "radioOutlookAddressBook")->click();
    QVERIFY(use->text().contains(QStringLiteral("kein Verzeichnis")));
    messages.answers = {MessageAnswer::Yes};
    Child<QPushButton>(&options, "btnOk")->click();
    QVERIFY(options.isVisible());
    QCOMPARE(options.result(), 0);
    QCOMPARE(messages.Ids(), QList<int>{IDS_ASK_SOURCE_NOT_SET_UP});
    QCOMPARE(processes.starts.size(), 1);
    QCOMPARE(processes.starts[0].program, QStringLiteral("/opt/kalmo/kalmofax"));
    QCOMPARE(processes.starts[0].arguments, QStringList{"settings"});

    // The button starts them as well; a choice with an account is taken.
    Child<QPushButton>(&options, "btnFaxSettings")->click();
    QCOMPARE(processes.starts.size(), 2);
    Child<QRadioButton>(&options, "radioOutlookContacts")->click();
    Child<QPushButton>(&options, "btnOk")->click();
    QCOMPARE(options.result(), int(QDialog::Accepted));
    QCOMPARE(options.m_nOutlookSource, 2);
}

QTEST_MAIN(TestDialogs)
#include "tst_dialogs.moc"
