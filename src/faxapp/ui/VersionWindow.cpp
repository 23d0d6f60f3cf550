#include "faxapp/ui/VersionWindow.h"

#include "faxapp/ui/MainWindow.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QVBoxLayout>

namespace faxapp {

VersionWindow::VersionWindow(const QList<VersionPart>& parts, QWidget* parent) : QDialog(parent) {
    setWindowTitle(tr("KALMO!fax – Version"));
    setWindowIcon(FaxIcon());
    auto* layout = new QVBoxLayout(this);
    auto* heading = new QLabel(tr("<b>KALMO!fax für Linux</b>"), this);
    layout->addWidget(heading);
    auto* form = new QFormLayout;
    for (const VersionPart& part : parts) {
        auto* value =
            new QLabel(part.version.isEmpty() ? tr("nicht gefunden") : part.version, this);
        value->setTextInteractionFlags(Qt::TextSelectableByMouse);
        form->addRow(part.name + u':', value);
    }
    layout->addLayout(form);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

} // namespace faxapp
