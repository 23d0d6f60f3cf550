#pragma once

// Where notices go: the seam between the engine's observer and the desktop.

#include "faxapp/notify/Notice.h"

#include <QString>

namespace faxapp {

class Notifier {
public:
    virtual ~Notifier() = default;
    // Shows notice, or drops it where there is nowhere to show it (the journal keeps the
    // outcome all the same). Callable from any thread.
    virtual void Notify(const Notice& notice) = 0;
};

// The tray icon's balloon message, for a desktop without a notification service: handed in by
// the window, which owns the icon.
class TrayMessages {
public:
    virtual ~TrayMessages() = default;
    virtual bool TrayAvailable() const = 0;
    // warning: a notice of trouble (an icon that says so).
    virtual void ShowTrayMessage(const QString& title, const QString& text, bool warning) = 0;
};

} // namespace faxapp
