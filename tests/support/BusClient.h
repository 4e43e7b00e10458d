#pragma once

#include "client/BusContract.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusVariant>
#include <QProcess>
#include <QTest>

// Another program on the test's bus: its own connection, so every call goes through
// the daemon, and each call waits with this process's events flowing, since the
// panel under test answers in this very thread.
namespace busclient {

inline const QString kService = QString::fromLatin1(panel::kService);
inline const QString kPath = QString::fromLatin1(panel::kPath);
inline const QString kInterface = QString::fromLatin1(panel::kInterface);
inline const QString kProperties = QStringLiteral("org.freedesktop.DBus.Properties");

inline QDBusConnection client()
{
    static QDBusConnection connection
        = QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("client"));
    return connection;
}

inline QDBusMessage call(const QString &interface, const QString &method, const QVariantList &args = {})
{
    QDBusMessage message = QDBusMessage::createMethodCall(kService, kPath, interface, method);
    message.setArguments(args);
    QDBusPendingCall pending = client().asyncCall(message);
    (void)QTest::qWaitFor([&] { return pending.isFinished(); }, 10000);
    return pending.reply();
}

inline QDBusMessage send(const QString &command)
{
    return call(kInterface, QStringLiteral("Send"), {command});
}

inline QVariant property(const char *name)
{
    const QDBusMessage reply = call(kProperties, QStringLiteral("Get"), {kInterface, QString::fromLatin1(name)});
    return reply.arguments().value(0).value<QDBusVariant>().variant();
}

// A program run to its end (qx50-send), as a caller on the test's bus, with events
// flowing meanwhile: its exit code (-1 when it crashed), what it printed and its
// complaint.
struct Run {
    int exitCode = -1;
    QString out;
    QString err;
};
inline Run run(const QString &program, const QStringList &args)
{
    QProcess process;
    process.start(program, args);
    (void)QTest::qWaitFor([&] { return process.state() == QProcess::NotRunning; }, 10000);
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromLocal8Bit(process.readAllStandardOutput()),
            QString::fromLocal8Bit(process.readAllStandardError()).trimmed()};
}

} // namespace busclient
