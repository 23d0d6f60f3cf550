#pragma once

#include "FixedClock.h"
#include "addressbook/RecipientList.h"
#include "platform/Presence.h"
#include "platform/ProcessLauncher.h"
#include "support/Clock.h"

#include <QList>
#include <QSet>
#include <cerrno>
#include <functional>

// Records every start; programs named in fail do not start (with the errno given).
class FakeProcessLauncher final : public ProcessLauncher {
public:
    bool Start(const ProcessStart& start) override {
        starts.append(start);
        if (failures.contains(start.program)) {
            errno = failures.value(start.program);
            return false;
        }
        if (action)
            action(start);
        return true;
    }
    QStringList Programs() const {
        QStringList programs;
        for (const ProcessStart& s : starts)
            programs.append(s.program);
        return programs;
    }
    QList<ProcessStart> starts;
    QHash<QString, int> failures;                    // program -> errno
    std::function<void(const ProcessStart&)> action; // what a started program does
};

class FakePresence final : public Presence {
public:
    bool IsRunning(const QString& windowClass) override {
        asked.append(windowClass);
        return running;
    }
    bool running = false;
    QStringList asked;
};

class CountingBusy final : public BusyIndicator {
public:
    void Begin() override { ++depth, ++begun; }
    void End() override { --depth; }
    int depth = 0;
    int begun = 0;
};
