#pragma once

#include "platform/ManualHelp.h"

#include <QStringList>

// Records the addresses it is asked to open; answers as told.
class RecordingUrlOpener final : public UrlOpener {
public:
    bool OpenUrl(const QUrl& url) override {
        opened.append(url.toString());
        return answer;
    }
    QStringList opened;
    bool answer = true;
};
