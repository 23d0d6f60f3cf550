#pragma once

// Notices through the desktop's notification service (org.freedesktop.Notifications on the
// session bus), with the actions "Show" and, for a job not sent, "Send again" where the
// service offers actions. An action the user picks comes back as a signal with the job's name.

#include "faxapp/notify/Notice.h"
#include "support/Result.h"

#include <QDBusConnection>
#include <QHash>
#include <QObject>
#include <QStringList>
#include <optional>

namespace faxapp {

class DesktopNotifier final : public QObject {
    Q_OBJECT
public:
    static constexpr int kCallTimeoutMs = 5000;

    // actions: offer them (only where something listens for the answer: not in a run that
    // ends after its pass).
    DesktopNotifier(QDBusConnection bus, bool actions, QObject* parent = nullptr);

    // Shows notice; a problem when no notification service takes it.
    Result<void> Show(const Notice& notice);

    // The service's capabilities, asked once; empty when no service answers.
    QStringList Capabilities();

Q_SIGNALS:
    void OpenRequested(const QString& job);
    void ResendRequested(const QString& job);

private Q_SLOTS:
    void OnActionInvoked(uint id, const QString& action);
    void OnClosed(uint id, uint reason);

private:
    QDBusConnection m_bus;
    bool m_actions;
    bool m_listening = false;
    std::optional<QStringList> m_capabilities;
    QHash<uint, QString> m_jobs; // notification id → job, while the notification is open
};

} // namespace faxapp
