#pragma once

#include <QString>

// Is a program of the given window class running? On the desktop bus a running program owns
// the name "WindowClass." + the class with every character outside A-Z, a-z, 0-9 and _
// replaced by _.
class Presence {
public:
    virtual ~Presence() = default;
    virtual bool IsRunning(const QString& windowClass) = 0;

    static QString BusName(const QString& windowClass);
};

// Asks the session bus whether the name has an owner; this starts nothing.
class DBusPresence final : public Presence {
public:
    bool IsRunning(const QString& windowClass) override;
};
