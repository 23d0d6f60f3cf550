#pragma once

#include "ui/FileDialogs.h"

#include <QList>

// Answers file dialogs with scripted paths (nullopt: cancelled) and records what was asked.
class FakeFileDialogs final : public FileDialogs {
public:
    struct Request {
        QString filter;
        QString preset; // the preset file (open) or the start folder (save)
        QString defaultExtension;
    };

    std::optional<QString> GetSaveFileName(QWidget*, const QString& filter,
                                           const QString& defaultExtension,
                                           const QString& startFolder) override {
        saves.append({filter, startFolder, defaultExtension});
        return saveAnswer;
    }
    std::optional<QString> GetOpenFileName(QWidget*, const QString& filter,
                                           const QString& presetFile) override {
        opens.append({filter, presetFile, {}});
        return openAnswer;
    }

    std::optional<QString> saveAnswer;
    std::optional<QString> openAnswer;
    QList<Request> saves;
    QList<Request> opens;
};
