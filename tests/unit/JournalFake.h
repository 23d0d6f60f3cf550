#pragma once

#include "fax/FaxContract.h"
#include "platform/Automation.h"

#include <QList>
#include <memory>
#include <optional>

// An in-process journal: records every call and answers from a script (0 when the script
// runs out). Not provided, it fails creation the way an unknown class does.
class JournalFake final : public AutomationClient {
public:
    struct Call {
        int dispid;
        QList<AutoVariant> args;
    };

    bool provided = true;
    QList<qint16> answers;
    std::optional<AutomationError> callError; // thrown by the next call instead of answering
    QList<Call> calls;
    int released = 0;

    bool Initialise() override { return true; }
    DispatchPtr CreateInstance(const QString& progId, CreateFailure& failure) override {
        if (!provided || progId != fax::kProgIdJournal) {
            failure = {scode::kClassNotRegistered, QStringLiteral("Invalid class string")};
            return nullptr;
        }
        return std::make_shared<Object>(*this);
    }

private:
    class Object final : public DispatchObject {
    public:
        explicit Object(JournalFake& owner) : m_owner(owner) {}
        ~Object() override { ++m_owner.released; }
        AutoVariant Invoke(int dispid, InvokeKind, const QList<AutoVariant>& args) override {
            m_owner.calls.append({dispid, args});
            if (m_owner.callError) {
                const AutomationError error = *m_owner.callError;
                m_owner.callError.reset();
                throw error;
            }
            return AutoVariant::I2(m_owner.answers.isEmpty() ? 0 : m_owner.answers.takeFirst());
        }

    private:
        JournalFake& m_owner;
    };
};
