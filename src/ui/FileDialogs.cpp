#include "ui/FileDialogs.h"

#include <QFileDialog>
#include <QStringList>

QString QtFileDialogs::QtFilter(const QString& filter) {
    const QStringList parts = filter.split(u'|');
    QStringList filters;
    // Pairs of a description and its patterns; the descriptions carry the patterns already.
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        if (parts.at(i).isEmpty())
            break;
        filters.append(parts.at(i));
    }
    return filters.join(QStringLiteral(";;"));
}

std::optional<QString> QtFileDialogs::GetSaveFileName(QWidget* parent, const QString& filter,
                                                      const QString& defaultExtension,
                                                      const QString& startFolder) {
    QFileDialog dialog(parent, QString(), startFolder, QtFilter(filter));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    QString suffix = defaultExtension;
    if (suffix.startsWith(u'.'))
        suffix.remove(0, 1);
    dialog.setDefaultSuffix(suffix);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().first();
}

std::optional<QString> QtFileDialogs::GetOpenFileName(QWidget* parent, const QString& filter,
                                                      const QString& presetFile) {
    QFileDialog dialog(parent, QString(), QString(), QtFilter(filter));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    if (!presetFile.isEmpty())
        dialog.selectFile(presetFile);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().first();
}
