// The address book window, offscreen: a contact added through its buttons lands in the vCard
// folder; the search matches names and numbers the way a user types them.
#include "faxapp/ui/AddressBookWindow.h"
#include "faxapp/ui/ContactDialog.h"
#include "faxapp/ui/WindowLanguage.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace {

// QTest::keyClicks takes Latin-1 only as keys; an umlaut is sent as the text of a key event.
void TypeText(QWidget* widget, const QString& text) {
    QVERIFY(widget);
    for (QChar c : text)
        QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
}

} // namespace

class TestAddressBookWindow : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // The windows' own language, with its plural forms.
    void initTestCase() { m_language = std::make_unique<faxapp::WindowLanguage>(QString()); }
    void addThroughButtons();
    void numbersByKeyboard();
    void importThroughButton();
    void search_data();
    void search();

private:
    std::unique_ptr<faxapp::WindowLanguage> m_language;
};

void TestAddressBookWindow::addThroughButtons() {
    QTemporaryDir dir;
    const QString folder = dir.filePath(u"contacts"_s);
    faxapp::AddressBookWindow window(folder);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    auto* add = window.findChild<QPushButton*>(u"add"_s);
    QVERIFY(add);
    QTest::mouseClick(add, Qt::LeftButton);
    auto* dialog = window.findChild<faxapp::ContactDialog*>(u"contactDialog"_s);
    QVERIFY(dialog);
    QTRY_VERIFY(dialog->isVisible());
    TypeText(dialog->findChild<QLineEdit*>(u"name"_s), u"Jürgen Groß"_s);
    TypeText(dialog->findChild<QLineEdit*>(u"newNumber"_s), u"+49 30 1234"_s);
    QTest::mouseClick(dialog->findChild<QPushButton*>(u"addNumber"_s), Qt::LeftButton);
    TypeText(dialog->findChild<QLineEdit*>(u"newNumber"_s), u"0301/99"_s);
    auto* buttons = dialog->findChild<QDialogButtonBox*>(u"buttons"_s);
    QVERIFY(buttons);
    // The second number was typed but not added: OK keeps it too.
    QTest::mouseClick(buttons->button(QDialogButtonBox::Ok), Qt::LeftButton);

    const QStringList files = QDir(folder).entryList({u"*.vcf"_s}, QDir::Files | QDir::Hidden);
    QCOMPARE(files.size(), 1);
    QFile file(folder + u'/' + files[0]);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    QVERIFY2(bytes.contains("\r\nFN:Jürgen Groß\r\n"), bytes.constData());
    QVERIFY(bytes.contains("\r\nTEL;TYPE=fax:+49 30 1234\r\nTEL;TYPE=fax:0301/99\r\n"));
}

// Numbers typed one after another, each ended with Enter, all stay; the label's Alt key
// reaches the field; Enter in the empty field then ends the dialog with OK.
void TestAddressBookWindow::numbersByKeyboard() {
    faxapp::ContactDialog dialog(faxapp::Contact{});
    dialog.show();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    auto* name = dialog.findChild<QLineEdit*>(u"name"_s);
    auto* newNumber = dialog.findChild<QLineEdit*>(u"newNumber"_s);
    auto* numbers = dialog.findChild<QListWidget*>(u"numbers"_s);
    QVERIFY(name && newNumber && numbers);
    name->setFocus();
    TypeText(name, u"Hafenamt"_s);

    newNumber->setFocus();
    for (const QString& number : {u"0471 1"_s, u"0471 2"_s}) {
        TypeText(newNumber, number);
        QTest::keyClick(newNumber, Qt::Key_Return);
        QVERIFY(dialog.isVisible());
        QCOMPARE(newNumber->text(), QString());
    }
    QCOMPARE(numbers->count(), 2);
    QLabel* label = nullptr;
    for (QLabel* candidate : dialog.findChildren<QLabel*>())
        if (candidate->buddy() == newNumber)
            label = candidate;
    QVERIFY(label);
    QVERIFY(label->text().contains(u"&e"_s));
    name->setFocus();
    QTest::keyClick(&dialog, Qt::Key_E, Qt::AltModifier);
    QCOMPARE(QApplication::focusWidget(), newNumber);

    QTest::keyClick(newNumber, Qt::Key_Return);
    QVERIFY(!dialog.isVisible());
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(dialog.Result().faxNumbers, (QStringList{u"0471 1"_s, u"0471 2"_s}));
}

// The import asks first, saying how many contacts come; a second import of the same file
// finds them all there and adds nothing.
void TestAddressBookWindow::importThroughButton() {
    QTemporaryDir dir;
    const QString source = dir.filePath(u"export.csv"_s);
    QFile csv(source);
    QVERIFY(csv.open(QIODevice::WriteOnly));
    csv.write("Name,Fax\nAnna,0301\nBernd,\nCarl,0302\n");
    csv.close();
    const QString folder = dir.filePath(u"contacts"_s);
    faxapp::AddressBookWindow window(folder);
    window.SetImportFileQuestion([&](QWidget*) { return source; });
    window.show();

    // Each message box is read and answered once it shows: Yes to a question.
    QStringList shown;
    QTimer closer;
    connect(&closer, &QTimer::timeout, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            shown.append(box->text());
            if (QAbstractButton* yes = box->button(QMessageBox::Yes))
                yes->click();
            else
                box->accept();
        }
    });
    closer.start(20);
    auto* import = window.findChild<QPushButton*>(u"import"_s);
    QTest::mouseClick(import, Qt::LeftButton);
    QCOMPARE(shown,
             (QStringList{u"2 Kontakte hinzufügen?\n0 schon im Adressbuch, 1 übersprungen."_s,
                          u"2 Kontakte importiert, 0 schon im Adressbuch, 1 übersprungen."_s}));
    QCOMPARE(QDir(folder).entryList({u"*.vcf"_s}, QDir::Files).size(), 2);

    shown.clear();
    QTest::mouseClick(import, Qt::LeftButton);
    QCOMPARE(shown, QStringList{u"Keine neuen Kontakte: 2 schon im Adressbuch, 1 übersprungen."_s});
    QCOMPARE(QDir(folder).entryList({u"*.vcf"_s}, QDir::Files).size(), 2);
}

void TestAddressBookWindow::search_data() {
    QTest::addColumn<QString>("search");
    QTest::addColumn<bool>("matches");
    QTest::newRow("empty") << QString() << true;
    QTest::newRow("lower-case umlaut") << u"ünal"_s << true;
    QTest::newRow("name, other case") << u"ÖZLEM"_s << true;
    QTest::newRow("decomposed umlaut") << u"O\u0308zlem"_s << true;
    QTest::newRow("digits without blanks") << u"301234"_s << true;
    QTest::newRow("number as written") << u"(030) 12"_s << true;
    QTest::newRow("other digits") << u"4711"_s << false;
    QTest::newRow("other name") << u"Anna"_s << false;
}

void TestAddressBookWindow::search() {
    QFETCH(QString, search);
    QFETCH(bool, matches);
    const faxapp::Contact contact{{}, u"Özlem Ünal"_s, {u"(030) 12 34"_s}, u"x.vcf"_s};
    QCOMPARE(faxapp::ContactMatches(contact, search), matches);
}

QTEST_MAIN(TestAddressBookWindow)
#include "tst_addressbookwindow.moc"
