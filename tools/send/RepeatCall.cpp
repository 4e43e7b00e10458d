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
class RepeatWatch : public QObject {
    Q_OBJECT

public:
    int exitCode = 0;
    bool ended = false;

public slots:
    void propertiesChanged(const QString &interface, const QVariantMap &changed, const QStringList &)
    {
        if (interface == latin1(kInterface) && changed.contains(latin1(panel::property::kRepeating))
            && !changed.value(latin1(panel::property::kRepeating)).toBool()) {
            ended = true;
            QCoreApplication::exit(0);
        }
    }
    void panelGone()
    {
        if (ended)
            return;
        exitCode = fail(2, QStringLiteral("the panel has gone"));
        QCoreApplication::exit(exitCode);
    }
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
    RepeatWatch watch;
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
    if (!state.arguments().value(0).value<QDBusVariant>().variant().toBool())
        return 0;
    const int ended = QCoreApplication::exec();
    return watch.exitCode != 0 ? watch.exitCode : ended;
}

#include "RepeatCall.moc"
