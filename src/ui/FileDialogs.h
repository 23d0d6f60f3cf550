#pragma once

#include <QString>
#include <optional>

class QWidget;

// File dialogs, handed to the dialogs so that tests answer them. Filters come in the
// "Name (*.x)|*.x|...||" form of the string table.
class FileDialogs {
public:
    virtual ~FileDialogs() = default;
    // nullopt when cancelled. The file must be new or its overwriting confirmed.
    virtual std::optional<QString> GetSaveFileName(QWidget* parent, const QString& filter,
                                                   const QString& defaultExtension,
                                                   const QString& startFolder) = 0;
    // nullopt when cancelled; the chosen file exists.
    virtual std::optional<QString> GetOpenFileName(QWidget* parent, const QString& filter,
                                                   const QString& presetFile) = 0;
};

class QtFileDialogs final : public FileDialogs {
public:
    std::optional<QString> GetSaveFileName(QWidget* parent, const QString& filter,
                                           const QString& defaultExtension,
                                           const QString& startFolder) override;
    std::optional<QString> GetOpenFileName(QWidget* parent, const QString& filter,
                                           const QString& presetFile) override;
    // "Fax-Dateien (*.sff)|*.sff|Alle Dateien (*.*)|*.*||" -> Qt's ";;"-separated filters.
    static QString QtFilter(const QString& filter);
};

// For runs without a person: every file dialog is cancelled.
class CancellingFileDialogs final : public FileDialogs {
public:
    std::optional<QString> GetSaveFileName(QWidget*, const QString&, const QString&,
                                           const QString&) override {
        return std::nullopt;
    }
    std::optional<QString> GetOpenFileName(QWidget*, const QString&, const QString&) override {
        return std::nullopt;
    }
};
