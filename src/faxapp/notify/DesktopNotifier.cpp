#include "faxapp/notify/DesktopNotifier.h"

#include <QCoreApplication>
#include <QDBusMessage>
#include <QVariantMap>

namespace faxapp {

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");
// The action keys; "default" is also what a click on the notification gives.
const QString kActionOpen = QStringLiteral("default");
const QString kActionResend = QStringLiteral("resend");

} // namespace

DesktopNotifier::DesktopNotifier(QDBusConnection bus, bool actions, QObject* parent)
    : QObject(parent), m_bus(std::move(bus)), m_actions(actions) {}

QStringList DesktopNotifier::Capabilities() {
    if (m_capabilities)
        return *m_capabilities;
    const QDBusMessage reply =
        m_bus.call(QDBusMessage::createMethodCall(kService, kPath, kInterface,
                                                  QStringLiteral("GetCapabilities")),
                   QDBus::Block, kCallTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return {}; // asked again next time: the service may start later
    m_capabilities = reply.arguments().constFirst().toStringList();
    return *m_capabilities;
}

Result<void> DesktopNotifier::Show(const Notice& notice) {
    if (!m_bus.isConnected())
        return Problem{0, kService, QStringLiteral("no session bus")};
    const QStringList capabilities = Capabilities();
    if (!m_capabilities)
        return Problem{0, kService, QStringLiteral("no notification service answers")};
    QStringList actions;
    if (m_actions && capabilities.contains(QLatin1String("actions"))) {
        actions << kActionOpen << QCoreApplication::translate("faxapp::JobNotice", "Anzeigen");
        if (notice.CanResend())
            actions << kActionResend
                    << QCoreApplication::translate("faxapp::JobNotice", "Erneut senden");
    }
    // A service that reads markup would take "<" and "&" of a reason for tags.
    const QString body = capabilities.contains(QLatin1String("body-markup"))
                             ? notice.body.toHtmlEscaped()
                             : notice.body;
    QVariantMap hints;
    hints.insert(QStringLiteral("urgency"), QVariant::fromValue(uchar(notice.IsTrouble() ? 2 : 1)));
    hints.insert(QStringLiteral("category"), notice.IsTrouble()
                                                 ? QStringLiteral("transfer.error")
                                                 : QStringLiteral("transfer.complete"));
    hints.insert(QStringLiteral("desktop-entry"), QStringLiteral("kalmofax"));
    QDBusMessage call =
        QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("Notify"));
    call << QStringLiteral("KALMO!fax") << 0U << QStringLiteral("kalmofax") << notice.summary
         << body << actions << hints << -1;
    if (!actions.isEmpty() && !m_listening) {
        m_bus.connect(kService, kPath, kInterface, QStringLiteral("ActionInvoked"), this,
                      SLOT(OnActionInvoked(uint, QString)));
        m_bus.connect(kService, kPath, kInterface, QStringLiteral("NotificationClosed"), this,
                      SLOT(OnClosed(uint, uint)));
        m_listening = true;
    }
    const QDBusMessage reply = m_bus.call(call, QDBus::Block, kCallTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return Problem{0, kService, reply.errorMessage()};
    if (!actions.isEmpty())
        m_jobs.insert(reply.arguments().constFirst().toUInt(), notice.job);
    return {};
}

void DesktopNotifier::OnActionInvoked(uint id, const QString& action) {
    const auto it = m_jobs.constFind(id);
    if (it == m_jobs.cend())
        return; // another program's notification
    if (action == kActionOpen)
        Q_EMIT OpenRequested(it.value());
    else if (action == kActionResend)
        Q_EMIT ResendRequested(it.value());
}

void DesktopNotifier::OnClosed(uint id, uint reason) {
    Q_UNUSED(reason);
    m_jobs.remove(id);
}

} // namespace faxapp
