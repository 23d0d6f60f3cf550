#pragma once

#include <QString>
#include <QStringList>

// The help layer: shows a topic of the program's CHM help file.
class HelpViewer {
public:
    // HTML Help commands as the help file understands them.
    enum Command : int { DisplayTopic = 0, DisplayIndex = 2, HelpContext = 15 };

    virtual ~HelpViewer() = default;
    // False when the file is not there or no viewer could be started.
    virtual bool HtmlHelp(const QString& file, int command, quint32 data) = 0;
};

// Opens the file with the first CHM viewer found on the PATH; without one, or without the file,
// it does nothing.
// CHM viewers on Linux take no topic ids, so every command opens the file itself.
class DesktopHelpViewer final : public HelpViewer {
public:
    bool HtmlHelp(const QString& file, int command, quint32 data) override;
    static QStringList ViewerNames();
    static QString FindViewer();
};
