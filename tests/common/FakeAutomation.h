#pragma once

// An in-process automation layer for unit tests: classes are handlers registered by ProgID,
// every call is recorded, creation can be made to fail, and the release of every object is
// counted.
//
//   FakeAutomation automation;
//   automation.RegisterClass("KalmoJournal.Document",
//       [](int dispid, InvokeKind, const QList<AutoVariant>& args) { return AutoVariant::I2(0); });
//   automation.FailCreation("MAPI.Session", scode::kClassNotRegistered, "Invalid class string");
//   ... code under test ...
//   automation.calls[0].dispid, .args, .Types(); automation.ReleaseCount("KalmoJournal.Document#1")
//
// A handler may throw AutomationError. A handler that hands out sub-objects returns
// AutoVariant::Dispatch(automation.MakeObject("folder 1", handler)).

#include "platform/Automation.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

class FakeAutomation final : public AutomationClient {
public:
    using Handler =
        std::function<AutoVariant(int dispid, InvokeKind kind, const QList<AutoVariant>& args)>;

    struct Call {
        QString object; // "<ProgID>#<n>" for created objects, the given name for sub-objects
        int dispid = 0;
        InvokeKind kind = InvokeKind::Method;
        QList<AutoVariant> args;

        QList<VarType> Types() const;
        // The argument types as D-Bus signatures would write them: "sssnssn".
        QString Signature() const;
    };

    FakeAutomation();
    ~FakeAutomation() override;

    // Each CreateInstance of progId makes a new object named "<progId>#<n>" (n from 1).
    void RegisterClass(const QString& progId, Handler handler);
    // CreateInstance of progId fails with this code and text (a registered class too).
    void FailCreation(const QString& progId, qint32 scode, const QString& text);
    // An object that is not created by ProgID: a sub-object handed out as VT_DISPATCH.
    DispatchPtr MakeObject(const QString& name, Handler handler);

    bool Initialise() override { return initialiseResult; }
    DispatchPtr CreateInstance(const QString& progId, CreateFailure& failure) override;

    // Calls of one object, or of every object whose name starts with "<progId>#".
    QList<Call> CallsOf(const QString& objectOrProgId) const;
    int ReleaseCount(const QString& object) const;
    // Objects made and not yet released.
    int LiveObjects() const;

    bool initialiseResult = true;
    QList<Call> calls;       // every call, in order
    bool recordCalls = true; // off for tests of very many calls
    QStringList created;     // names of the objects made, in order
    QStringList released;    // names of the objects released, in order
    QStringList creations;   // every CreateInstance's ProgID, failed ones too

    // What the objects report to; shared with them, as they may outlive the fake.
    struct State {
        FakeAutomation* owner = nullptr;
    };

private:
    std::shared_ptr<State> m_state;
    QHash<QString, Handler> m_classes;
    QHash<QString, CreateFailure> m_failures;
    QHash<QString, int> m_instanceCount;
};
