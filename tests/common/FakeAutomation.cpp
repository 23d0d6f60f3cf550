#include "FakeAutomation.h"

#include "platform/DBusAutomation.h"

namespace {

class FakeObject final : public DispatchObject {
public:
    FakeObject(std::shared_ptr<FakeAutomation::State> state, QString name,
               FakeAutomation::Handler handler)
        : m_state(std::move(state)), m_name(std::move(name)), m_handler(std::move(handler)) {}

    ~FakeObject() override {
        if (m_state->owner)
            m_state->owner->released.append(m_name);
    }

    FakeObject(const FakeObject&) = delete;
    FakeObject& operator=(const FakeObject&) = delete;

    AutoVariant Invoke(int dispid, InvokeKind kind, const QList<AutoVariant>& args) override {
        if (m_state->owner && m_state->owner->recordCalls)
            m_state->owner->calls.append({m_name, dispid, kind, args});
        if (!m_handler)
            throw AutomationError(AutomationError::Kind::Transport, dbusauto::kMemberNotFound,
                                  AutomationStatusText(dbusauto::kMemberNotFound));
        return m_handler(dispid, kind, args);
    }

private:
    std::shared_ptr<FakeAutomation::State> m_state;
    QString m_name;
    FakeAutomation::Handler m_handler;
};

QChar SignatureOf(VarType type) {
    switch (type) {
    case VT_I2:
        return QLatin1Char('n');
    case VT_I4:
        return QLatin1Char('i');
    case VT_BSTR:
        return QLatin1Char('s');
    case VT_DISPATCH:
        return QLatin1Char('o');
    default:
        return QLatin1Char('?');
    }
}

} // namespace

QList<VarType> FakeAutomation::Call::Types() const {
    QList<VarType> types;
    for (const AutoVariant& arg : args)
        types.append(arg.Type());
    return types;
}

QString FakeAutomation::Call::Signature() const {
    QString signature;
    for (const AutoVariant& arg : args)
        signature += SignatureOf(arg.Type());
    return signature;
}

FakeAutomation::FakeAutomation() : m_state(std::make_shared<State>()) {
    m_state->owner = this;
}

FakeAutomation::~FakeAutomation() {
    m_state->owner = nullptr;
}

void FakeAutomation::RegisterClass(const QString& progId, Handler handler) {
    m_classes.insert(progId, std::move(handler));
    m_failures.remove(progId);
}

void FakeAutomation::FailCreation(const QString& progId, qint32 scode, const QString& text) {
    m_failures.insert(progId, CreateFailure{scode, text});
}

DispatchPtr FakeAutomation::MakeObject(const QString& name, Handler handler) {
    created.append(name);
    return std::make_shared<FakeObject>(m_state, name, std::move(handler));
}

DispatchPtr FakeAutomation::CreateInstance(const QString& progId, CreateFailure& failure) {
    creations.append(progId);
    if (auto it = m_failures.constFind(progId); it != m_failures.constEnd()) {
        failure = *it;
        return nullptr;
    }
    auto it = m_classes.constFind(progId);
    if (it == m_classes.constEnd()) {
        failure = {scode::kClassNotRegistered, AutomationStatusText(scode::kClassNotRegistered)};
        return nullptr;
    }
    const int n = ++m_instanceCount[progId];
    return MakeObject(progId + QLatin1Char('#') + QString::number(n), *it);
}

QList<FakeAutomation::Call> FakeAutomation::CallsOf(const QString& objectOrProgId) const {
    const QString prefix = objectOrProgId + QLatin1Char('#');
    QList<Call> result;
    for (const Call& call : calls) {
        if (call.object == objectOrProgId || call.object.startsWith(prefix))
            result.append(call);
    }
    return result;
}

int FakeAutomation::ReleaseCount(const QString& object) const {
    return static_cast<int>(released.count(object));
}

int FakeAutomation::LiveObjects() const {
    return static_cast<int>(created.size() - released.size());
}
