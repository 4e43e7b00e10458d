// qx50-send: hands one command character to the running panel over the session bus,
// so a desktop-wide shortcut or a logger can drive the unit. It holds no port.
//   exit 0  sent
//   exit 1  the panel refused it (port closed, not a command, a message open)
//   exit 2  no panel to ask
#include "send/RepeatCall.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusError>
#include <QDBusMessage>

#include <cstdio>
#include <cstring>

namespace {

constexpr auto kService = "org.orma.Qx50VoiceMemory";
constexpr auto kPath = "/org/orma/Qx50VoiceMemory";
constexpr auto kInterface = "org.orma.Qx50VoiceMemory";
constexpr auto kPanelErrors = "org.orma.Qx50VoiceMemory.Error.";
constexpr int kAnswerWithinMs = 5000; // a shortcut should not hang on a stuck panel

void printLine(std::FILE *to, const QString &text)
{
    std::fprintf(to, "%s\n", text.toLocal8Bit().constData());
}

int usage(std::FILE *to, int exitCode)
{
    std::fprintf(to, "usage: qx50-send COMMAND\n%s"
                     "COMMAND is one of M R P T S (either case) or a memory digit 0 to 9.\n", kRepeatUsage);
    return exitCode;
}

} // namespace

int main(int argc, char *argv[])
{
    if (isRepeatCall(argc, argv))
        return runRepeatCall(argc, argv);
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0))
        return usage(stdout, 0);
    if (argc != 2)
        return usage(stderr, 1);

    QCoreApplication app(argc, argv);
    // Qt 6.4 registers these lazily, and the bus thread may meet them half made.
    qRegisterMetaType<QDBusMessage>();
    qRegisterMetaType<QDBusError>();
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        printLine(stderr, QStringLiteral("qx50-send: no session bus: %1").arg(bus.lastError().message()));
        return 2;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(QString::fromLatin1(kService), QString::fromLatin1(kPath),
                                                       QString::fromLatin1(kInterface), QStringLiteral("Send"));
    call.setAutoStartService(false);
    call << QString::fromLocal8Bit(argv[1]);
    const QDBusMessage reply = bus.call(call, QDBus::Block, kAnswerWithinMs);
    if (reply.type() == QDBusMessage::ReplyMessage)
        return 0;
    if (reply.errorName().startsWith(QLatin1String(kPanelErrors))) {
        printLine(stderr, reply.errorMessage());
        return 1;
    }
    const QString error = reply.errorName();
    if (error == QLatin1String("org.freedesktop.DBus.Error.NameHasNoOwner")
        || error == QLatin1String("org.freedesktop.DBus.Error.ServiceUnknown"))
        printLine(stderr, QStringLiteral("qx50-send: no orma-qx50-voice-mem panel is running"));
    else
        printLine(stderr, QStringLiteral("qx50-send: the panel did not answer: %1").arg(reply.errorMessage()));
    return 2;
}
