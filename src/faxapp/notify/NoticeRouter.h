#pragma once

// Delivers notices on its own thread (the window's): to the desktop's notification service
// where one answers, else as the tray icon's message where there is a tray, else nowhere.

#include "faxapp/notify/Notifier.h"

#include <QObject>

namespace faxapp {

class DesktopNotifier;

class NoticeRouter final : public QObject, public Notifier {
    Q_OBJECT
public:
    // Either may be null; both must outlive the router.
    NoticeRouter(DesktopNotifier* desktop, TrayMessages* tray, QObject* parent = nullptr);

    void Notify(const Notice& notice) override;

private:
    void Deliver(const Notice& notice);

    DesktopNotifier* m_desktop;
    TrayMessages* m_tray;
};

} // namespace faxapp
