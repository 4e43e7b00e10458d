#include "RepeatCall.h"

#include "client/PanelClient.h"
#include "contract/RepeatRule.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <QMap>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstring>

const char *const kRepeatUsage = "       qx50-send --repeat N --every SECONDS --times K\n"
                                 "       qx50-send --repeat N --gap SECONDS --times K\n";

namespace {

using panel::kInterface;
using panel::kPath;
using panel::kPropertiesInterface;
using panel::kService;
const char *const kOptions[] = {"--repeat", "--every", "--times", "--gap"};
constexpr int kCutShort = 4; // the repeat ended before all its transmissions went out

QString latin1(const char *text)
{
    return QString::fromLatin1(text);
}

int fail(int exitCode, const QString &text)
{
    std::fprintf(stderr, "qx50-send: %s\n", text.toLocal8Bit().constData());
    return exitCode;
}

struct Request {
    QString memory;
    double seconds = 0;
    bool gap = false; // seconds is the gap after each message's end, not the period
    qint64 count = 0;
};

// The three options, each once, in any order; the panel's own rule checks the values.
QString parse(int argc, char *argv[], Request &request)
{
    QMap<QString, QString> given;
    for (int i = 1; i < argc; i += 2) {
        const QString option = QString::fromLocal8Bit(argv[i]);
        if (std::find(std::begin(kOptions), std::end(kOptions), option) == std::end(kOptions))
            return QStringLiteral("unknown option %1").arg(option);
        if (i + 1 >= argc)
            return QStringLiteral("%1 needs a value").arg(option);
        if (given.contains(option))
            return QStringLiteral("%1 is given twice").arg(option);
        given.insert(option, QString::fromLocal8Bit(argv[i + 1]));
    }
    request.gap = given.contains(QStringLiteral("--gap"));
    if (request.gap && given.contains(QStringLiteral("--every")))
        return QStringLiteral("--every or --gap, not both");
    for (const char *option : {"--repeat", request.gap ? "--gap" : "--every", "--times"})
        if (!given.contains(latin1(option)))
            return request.gap ? QStringLiteral("--repeat, --gap and --times are all needed")
                               : QStringLiteral("--repeat, --every and --times are all needed");
    bool ok = false;
    const QString spacing = request.gap ? QStringLiteral("--gap") : QStringLiteral("--every");
    request.memory = given.value(QStringLiteral("--repeat"));
    request.seconds = given.value(spacing).toDouble(&ok);
    if (!ok)
        return QStringLiteral("%1 takes a number of seconds").arg(spacing);
    request.count = given.value(QStringLiteral("--times")).toLongLong(&ok);
    if (!ok)
        return QStringLiteral("--times takes a whole number");
    return request.gap ? RepeatRule::gapRefusal(request.memory, request.seconds, request.count)
                       : RepeatRule::refusal(request.memory, request.seconds, request.count);
}

// Waits for the repeat to end, as the panel announces it, or for the panel to go.
// A panel that ends announces the repeat's end before it leaves the bus, and both
// may be handled in one turn of the loop: once the end is heard, the panel's going
// is no failure.
// The panel tells the transmissions still to go after each one; at the end it says
// none, so what went out is counted from the last word before the end.
class RepeatWatch : public QObject {
    Q_OBJECT

public:
    explicit RepeatWatch(qint64 count)
        : m_count(count)
        , m_left(count)
    {
    }
    int exitCode = 0;
    bool ended = false;

    // 0 when every transmission went out; otherwise says how many did.
    int endStatus() const
    {
        if (m_left == 0)
            return 0;
        return fail(kCutShort,
                    QStringLiteral("the repeat ended early: %1 of %2 transmissions went out")
                        .arg(m_count - m_left)
                        .arg(m_count));
    }

public slots:
    void propertiesChanged(const QString &interface, const QVariantMap &changed, const QStringList &)
    {
        if (interface != latin1(kInterface) || ended)
            return;
        const QString repeating = latin1(panel::property::kRepeating);
        if (changed.contains(repeating) && !changed.value(repeating).toBool()) {
            ended = true;
            exitCode = endStatus();
            QCoreApplication::exit(exitCode);
        } else if (changed.contains(latin1(panel::property::kRepeatsLeft))) {
            m_left = changed.value(latin1(panel::property::kRepeatsLeft)).toLongLong();
        }
    }
    void panelGone()
    {
        if (ended)
            return;
        exitCode = fail(2, QStringLiteral("the panel has gone"));
        QCoreApplication::exit(exitCode);
    }

private:
    qint64 m_count;
    qint64 m_left;
};

QDBusMessage callPanel(QDBusConnection &bus, const char *interface, const QString &method, const QVariantList &args)
{
    return bus.call(panel::panelCall(latin1(kService), interface, method, args), QDBus::Block, panel::kAnswerWithinMs);
}

} // namespace

bool isRepeatCall(int argc, char *argv[])
{
    return argc > 1
        && std::find_if(std::begin(kOptions), std::end(kOptions),
                        [&](const char *option) { return std::strcmp(argv[1], option) == 0; })
        != std::end(kOptions);
}

int runRepeatCall(int argc, char *argv[])
{
    Request request;
    if (const QString wrong = parse(argc, argv, request); !wrong.isEmpty())
        return fail(1, wrong);

    QCoreApplication app(argc, argv);
    QDBusConnection bus = panel::sessionBus();
    if (!bus.isConnected())
        return fail(2, panel::noSessionBus("it"));

    // Listening before the repeat starts, so its end cannot pass unseen.
    RepeatWatch watch(request.count);
    bus.connect(latin1(kService), latin1(kPath), latin1(kPropertiesInterface), latin1(panel::kPropertiesChanged),
                &watch, SLOT(propertiesChanged(QString, QVariantMap, QStringList)));
    QDBusServiceWatcher panel(latin1(kService), bus, QDBusServiceWatcher::WatchForUnregistration);
    QObject::connect(&panel, &QDBusServiceWatcher::serviceUnregistered, &watch, &RepeatWatch::panelGone);

    const QDBusMessage reply = callPanel(
        bus, kInterface, request.gap ? latin1(panel::method::kStartRepeatWithGap) : latin1(panel::method::kStartRepeat),
        {request.memory, request.seconds, static_cast<uint>(request.count)});
    // The panel refuses a repeat it cannot run with its own errors, or with the bus's
    // InvalidArgs for values it will not take; its words are shown as they stand.
    if (const panel::Answer answer = panel::readAnswer(reply); answer.outcome != panel::Outcome::Sent) {
        if (answer.outcome == panel::Outcome::Refused
            || reply.errorName() == QLatin1String("org.freedesktop.DBus.Error.InvalidArgs")) {
            return fail(1, reply.errorMessage());
        }
        return fail(2, answer.reason);
    }
    const QDBusMessage state = callPanel(bus, kPropertiesInterface, QStringLiteral("Get"),
                                         {latin1(kInterface), latin1(panel::property::kRepeating)});
    if (!state.arguments().value(0).value<QDBusVariant>().variant().toBool()) {
        // Ended already: its announcements came before this answer, and the bus hands
        // them on only once the loop runs. They are waited for, within the bus's bound.
        QTimer::singleShot(panel::kAnswerWithinMs, &watch, [&watch] {
            watch.ended = true;
            QCoreApplication::exit(watch.endStatus());
        });
    }
    const int ended = QCoreApplication::exec();
    return watch.exitCode != 0 ? watch.exitCode : ended;
}

#include "RepeatCall.moc"
