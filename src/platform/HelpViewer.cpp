#include "platform/HelpViewer.h"

#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

namespace {
QStringList DefaultViewerNames() {
    return {QStringLiteral("xchm"), QStringLiteral("kchmviewer"), QStringLiteral("chmsee"),
            QStringLiteral("uchmviewer")};
}
} // namespace

QStringList DesktopHelpViewer::ViewerNames() {
    return DefaultViewerNames();
}

QString DesktopHelpViewer::FindViewer() {
    for (const QString& name : ViewerNames()) {
        const QString path = QStandardPaths::findExecutable(name);
        if (!path.isEmpty())
            return path;
    }
    return {};
}

bool DesktopHelpViewer::HtmlHelp(const QString& file, int /*command*/, quint32 /*data*/) {
    if (!QFileInfo(file).isFile())
        return false;
    const QString viewer = FindViewer();
    if (viewer.isEmpty())
        return false;
    return QProcess::startDetached(viewer, {file});
}
