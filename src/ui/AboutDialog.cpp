#include "ui/AboutDialog.h"

#include "app/AppBase.h"
#include "fax/FaxContract.h"
#include "platform/ProcessLauncher.h"
#include "support/FileUtil.h"
#include "support/Messenger.h"
#include "support/PathUtil.h"
#include "support/StringIds.h"
#include "ui_AboutDialog.h"

#include <QEvent>
#include <QImage>

AboutDialog::AboutDialog(AppBase& app, ProcessLauncher& processes, QWidget* parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::AboutDialog>()), m_app(app),
      m_processes(processes) {
    m_ui->setupUi(this);
    connect(m_ui->btnOk, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_ui->btnVersion, &QPushButton::clicked, this, &AboutDialog::OnVersion);
}

AboutDialog::~AboutDialog() = default;

int AboutDialog::DoModal() {
    OnInitDialog();
    return exec();
}

bool AboutDialog::OnInitDialog() {
    m_strProgram = QStringLiteral("KALMO!send");
    m_strVersion = QStringLiteral("Version 3.01") + u' ' + QStringLiteral("Revision 1.14");
    m_ui->labelProgram->setText(m_strProgram);
    m_ui->labelVersion->setText(m_strVersion);
    LoadMappedPicture();
    // The picture sits in the lower right corner, one pixel in from both edges.
    const QSize size = m_bitmapPicture.size();
    m_ui->m_staticPicture->setGeometry(width() - size.width() - 1, height() - size.height() - 1,
                                       size.width(), size.height());
    return true;
}

QImage AboutDialog::MapPicture(const QImage& source, const QPalette& palette) {
    QImage image = source.convertToFormat(QImage::Format_RGB32);
    const struct {
        QRgb from;
        QColor to;
    } map[] = {
        {qRgb(0, 0, 0), palette.color(QPalette::Active, QPalette::ButtonText)},
        {qRgb(255, 255, 255), palette.color(QPalette::Active, QPalette::Light)},
        {qRgb(128, 128, 128), palette.color(QPalette::Active, QPalette::Dark)},
        {qRgb(192, 192, 192), palette.color(QPalette::Active, QPalette::Button)},
    };
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            for (const auto& entry : map) {
                if ((line[x] & 0xffffff) == (entry.from & 0xffffff)) {
                    line[x] = entry.to.rgb();
                    break;
                }
            }
        }
    }
    return image;
}

void AboutDialog::LoadMappedPicture() {
    m_bitmapPicture = QPixmap();
    const QImage source(QStringLiteral(":/images/about103.xpm"));
    if (source.isNull())
        return;
    m_bitmapPicture = QPixmap::fromImage(MapPicture(source, palette()));
    m_ui->m_staticPicture->setPixmap(m_bitmapPicture);
}

void AboutDialog::changeEvent(QEvent* event) {
    QDialog::changeEvent(event);
    if (event->type() == QEvent::PaletteChange)
        LoadMappedPicture();
}

void AboutDialog::OnVersion() {
    ProcessStart start;
    start.program = JoinPath(m_app.m_strSystemDir, fax::kProgramVersion);
    if (!m_processes.Start(start))
        MessageWarning1(m_app.GetMessenger(), IDS_ERR_START_VERSION, GetLastErrorText());
}
