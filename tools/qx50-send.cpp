// qx50-send: hands command characters to the running panel over the session bus, so
// a desktop-wide shortcut or a logger can drive the unit. It holds no port.
//   exit 0  sent
//   exit 1  refused: the panel's reason (port closed, not a command, a message open),
//           or a bad argument, refused before any panel is looked for
//   exit 2  no panel to ask
//   exit 3  --play N --wait, and memory N has no known length: nothing sent
#include "client/PanelClient.h"
#include "contract/CommandTable.h"
#include "SendOptions.h"
#include "send/Complaint.h"
#include "send/MessageCalls.h"
#include "send/RepeatCall.h"

#include <QCoreApplication>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <functional>
#include <csignal>
#include <signal.h>
#include <cstdio>
#include <ctime>

namespace {

int usage(std::FILE *to, int exitCode)
{
    std::fprintf(to,
                 "usage: qx50-send [--port N] COMMAND\n"
                 "       qx50-send [--port N] --play N [--hold SECONDS | --wait]\n"
                 "       qx50-send [--port N] --messages | --describe | --set NAME | --new-set NAME\n"
                 "       qx50-send [--port N] --name N TEXT | --length N SECONDS\n%s"
                 "COMMAND is one of %s.\n"
                 "--play N sends memory N, then T; --hold SECONDS stays that long after it,\n"
                 "and sends S when stopped by SIGTERM, SIGINT or SIGHUP meanwhile, unless\n"
                 "another program's message went on the air since; --wait\n"
                 "stays, the same way, until the message ends (its known length and 0.2 s).\n"
                 "--messages lists the active set of message names (memory, length, name);\n"
                 "--describe prints the active set read out: its name, then each named memory\n"
                 "with its length, in keypad order, as the panel's read-set key says it.\n"
                 "--set NAME makes another set active; --new-set NAME makes a new, empty set\n"
                 "and makes it active; --name N TEXT names memory N in the active set;\n"
                 "--length N SECONDS gives memory N's length there (- for not known).\n"
                 "--port N asks the panel whose open port is COM N (1 to 4).\n"
                 "Exit status: 0 sent; 1 refused, with the reason (the panel's, or a bad\n"
                 "argument, refused before any panel is asked); 2 no panel to ask (none\n"
                 "running, none with that port open, or no desktop session bus); 3 --wait\n"
                 "for a memory with no known length (nothing is sent).\n",
                 kRepeatUsage, qPrintable(CommandTable::commandsInWords()));
    return exitCode;
}

int exitCodeOf(const panel::Answer &answer)
{
    switch (answer.outcome) {
    case panel::Outcome::Sent: return 0;
    case panel::Outcome::Refused: complain(answer.reason); return 1;
    case panel::Outcome::NoPanel: break;
    }
    complain(answer.reason);
    return 2;
}

// Waits until `hold` has passed, a stopping signal came (true) or, asked every
// quarter of a second, `over` says the wait has no more point.
bool stoppedDuring(std::chrono::milliseconds hold, const sigset_t &stopping, const std::function<bool()> &over = {})
{
    timespec deadline {};
    ::clock_gettime(CLOCK_MONOTONIC, &deadline);
    deadline.tv_sec += static_cast<time_t>(hold.count() / 1000);
    deadline.tv_nsec += static_cast<long>(hold.count() % 1000) * 1000000L;
    if (deadline.tv_nsec >= 1000000000L) {
        ++deadline.tv_sec;
        deadline.tv_nsec -= 1000000000L;
    }
    for (;;) {
        timespec now {};
        ::clock_gettime(CLOCK_MONOTONIC, &now);
        long long left = (deadline.tv_sec - now.tv_sec) * 1000000000LL + (deadline.tv_nsec - now.tv_nsec);
        if (left <= 0 || (over && over()))
            return false;
        if (over)
            left = std::min(left, 250000000LL);
        const timespec wait {static_cast<time_t>(left / 1000000000LL), static_cast<long>(left % 1000000000LL)};
        if (::sigtimedwait(&stopping, nullptr, &wait) > 0)
            return true;
        if (errno != EINTR && errno != EAGAIN)
            return false;
    }
}

} // namespace

int main(int argc, char *argv[])
{
    if (isRepeatCall(argc, argv))
        return runRepeatCall(argc, argv);
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const SendOptions::Parsed parsed = SendOptions::parse(arguments);
    if (!parsed.options) {
        complain(parsed.error);
        return usage(stderr, 1);
    }
    const SendOptions &options = *parsed.options;
    if (options.help)
        return usage(stdout, 0);

    // The stopping signals wait for us from before the first byte, so one that comes
    // while the message starts still stops it. Threads made later inherit the mask.
    sigset_t stopping;
    sigemptyset(&stopping);
    if (options.hold || options.wait) {
        for (int signal : {SIGTERM, SIGINT, SIGHUP})
            sigaddset(&stopping, signal);
        ::pthread_sigmask(SIG_BLOCK, &stopping, nullptr);
    }

    QCoreApplication app(argc, argv);
    QDBusConnection bus = panel::sessionBus();
    if (!bus.isConnected()) {
        complain(panel::noSessionBus("it"));
        return 2;
    }
    QString why;
    const QString service = panel::findPanel(bus, options.port, &why);
    if (service.isEmpty()) {
        complain(why);
        return 2;
    }
    if (options.messageCall())
        return runMessageCall(bus, service, options);
    // --wait knows how long to stay before anything goes out; with no length, nothing does.
    std::optional<std::chrono::milliseconds> stay = options.hold;
    if (options.wait) {
        panel::Answer failed {panel::Outcome::Sent, {}, {}};
        const auto lengthMs = messageLengthMs(bus, service, *options.playMemory, &failed);
        if (!lengthMs) {
            if (failed.outcome != panel::Outcome::Sent)
                return exitCodeOf(failed);
            complain(QStringLiteral("memory %1 has no known length; record it through the panel, "
                                    "give it in Options, Message Names, or with --length")
                         .arg(*options.playMemory));
            return 3;
        }
        stay = std::chrono::milliseconds(*lengthMs + 200);
    }
    auto send = [&](const QString &command) {
        return panel::readAnswer(bus.call(panel::sendCall(service, command), QDBus::Block, panel::kAnswerWithinMs));
    };
    for (const QString &command : options.commands) {
        const panel::Answer answer = send(command);
        if (answer.outcome != panel::Outcome::Sent)
            return exitCodeOf(answer);
    }
    // A message the panel saw end early (a Stop, another command, a lost line) ends
    // the wait; its ordinary end is the length and 0.2 s.
    std::function<bool()> endedEarly;
    if (options.wait) {
        const auto early = std::chrono::steady_clock::now() + *stay - std::chrono::milliseconds(400);
        endedEarly = [&, early] {
            return std::chrono::steady_clock::now() < early && !stillPlaying(bus, service, *options.playMemory);
        };
    }
    // Stopped meanwhile: the message is cut only if it is still this program's own,
    // never one another door started since.
    if (stay && stoppedDuring(*stay, stopping, endedEarly))
        return exitCodeOf(
            panel::readAnswer(bus.call(panel::stopOwnCall(service, {}), QDBus::Block, panel::kAnswerWithinMs)));
    return 0;
}
