#pragma once

#include <QDialog>
#include <QPixmap>
#include <memory>

class AppBase;
class ProcessLauncher;
namespace Ui {
class AboutDialog;
}

// Names the program and its version; starts the fax application's version display.
class AboutDialog : public QDialog {
    Q_OBJECT
public:
    AboutDialog(AppBase& app, ProcessLauncher& processes, QWidget* parent = nullptr);
    ~AboutDialog() override;

    QString m_strVersion;
    QString m_strProgram;
    QPixmap m_bitmapPicture; // the recoloured picture 103

    int DoModal();
    bool OnInitDialog();
    void OnVersion();
    void LoadMappedPicture();
    // Picture 103 with black, white, dark grey and light grey replaced by the palette's button
    // text, highlight, shadow and face colours.
    static QImage MapPicture(const QImage& source, const QPalette& palette);

protected:
    void changeEvent(QEvent* event) override;

private:
    std::unique_ptr<Ui::AboutDialog> m_ui;
    AppBase& m_app;
    ProcessLauncher& m_processes;
};
