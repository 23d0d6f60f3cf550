#include "faxapp/notify/NoticeRouter.h"

#include "faxapp/notify/DesktopNotifier.h"

#include <QThread>
#include <cstdio>

namespace faxapp {

NoticeRouter::NoticeRouter(DesktopNotifier* desktop, TrayMessages* tray, QObject* parent)
    : QObject(parent), m_desktop(desktop), m_tray(tray) {}

void NoticeRouter::Notify(const Notice& notice) {
    if (QThread::currentThread() != thread()) {
        QMetaObject::invokeMethod(
            this, [this, notice] { Deliver(notice); }, Qt::QueuedConnection);
        return;
    }
    Deliver(notice);
}

void NoticeRouter::Deliver(const Notice& notice) {
    if (m_desktop) {
        const auto shown = m_desktop->Show(notice);
        if (shown)
            return;
        std::fprintf(stderr, "kalmofax: notice not shown: %s\n", qPrintable(shown.Error().Text()));
    }
    if (m_tray && m_tray->TrayAvailable())
        m_tray->ShowTrayMessage(notice.summary, notice.body, notice.IsTrouble());
}

} // namespace faxapp
