#include "ScreenReaderCheck.h"

#include "ControlBus.h"

#include "panel/HearingChoices.h"

#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>

namespace {
// The accessibility bus's status, on the session bus (AT-SPI).
constexpr auto kA11yService = "org.a11y.Bus";
constexpr auto kA11yPath = "/org/a11y/bus";
constexpr auto kA11yStatus = "org.a11y.Status";
constexpr auto kScreenReaderEnabled = "ScreenReaderEnabled";
} // namespace

void followScreenReader(HearingChoices &hearing)
{
    QDBusConnection session = ControlBus::sessionBus();
    if (!session.isConnected())
        return;
    QDBusMessage ask = QDBusMessage::createMethodCall(QString::fromLatin1(kA11yService), QString::fromLatin1(kA11yPath),
                                                      QStringLiteral("org.freedesktop.DBus.Properties"),
                                                      QStringLiteral("Get"));
    ask << QString::fromLatin1(kA11yStatus) << QString::fromLatin1(kScreenReaderEnabled);
    auto *answer = new QDBusPendingCallWatcher(session.asyncCall(ask), &hearing);
    QObject::connect(answer, &QDBusPendingCallWatcher::finished, &hearing, [&hearing](QDBusPendingCallWatcher *call) {
        const QDBusPendingReply<QDBusVariant> reply = *call;
        if (!reply.isError())
            hearing.setScreenReaderRunning(reply.value().variant().toBool());
        call->deleteLater();
    });
}
