#include "TestClasses.h"

#include "Server.h"
#include "platform/DBusAutomation.h"

#include <QThread>

namespace standin {

namespace {

class EchoObject final : public DispatchObject {
public:
    AutoVariant Invoke(int dispid, InvokeKind /*kind*/, const QList<AutoVariant>& args) override {
        switch (dispid) {
        case 1:
            return args.isEmpty() ? AutoVariant() : args.constFirst();
        case 2:
            return AutoVariant::Dispatch(MakeEchoObject());
        case 3:
            return AutoVariant::Dispatch(nullptr);
        case 4:
            return {};
        case 5:
            if (!m_child)
                m_child = MakeEchoObject();
            return AutoVariant::Dispatch(m_child);
        case 6:
            ExpectArgs(args, {VT_I4});
            QThread::msleep(static_cast<unsigned long>(qMax(0, args.constFirst().ToI4())));
            return AutoVariant::I4(0);
        case 7:
            ExpectArgs(args, {VT_I4, VT_BSTR});
            ThrowError(args.at(0).ToI4(), args.at(1).ToBStr());
        default:
            ThrowError(dbusauto::kMemberNotFound);
        }
    }

private:
    DispatchPtr m_child;
};

} // namespace

DispatchPtr MakeEchoObject() {
    return std::make_shared<EchoObject>();
}

} // namespace standin
