#include "EventSounds.h"

#include "panel/FailureLog.h"
#include "panel/PanelModel.h"

#include <QCoreApplication>
#include <QProcess>
#include <QTimer>

#include <algorithm>

#include <canberra.h>

EventSounds::EventSounds(PanelModel &model, QObject *parent)
    : QObject(parent)
    , m_model(model)
    , m_lineState(model.line().state())
    , m_repeating(model.repeat().repeating())
{
    // The context costs nothing; the connection to the sound server (and the desktop's
    // setting, asked of another program) is made only once sounds are on: at start when
    // they are, else when the operator turns them on. Either way before any command,
    // which never waits for it.
    if (const int failed = ca_context_create(&m_context); failed != CA_SUCCESS) {
        qCWarning(failureLog).noquote() << "No event sounds:" << ca_strerror(failed);
        m_context = nullptr;
    } else {
        ca_context_change_props(m_context, CA_PROP_APPLICATION_NAME, "ORMA QX50 voice memory",
                                CA_PROP_APPLICATION_ID, "org.orma.Qx50VoiceMemory", nullptr);
        // The sound server only (PulseAudio, or PipeWire's PulseAudio service): it
        // applies the desktop's event volume, and libcanberra's fallback to bare ALSA
        // crashes in its own thread when its context goes.
        ca_context_set_driver(m_context, "pulse");
    }
    if (model.hearing().sounds())
        connectToServer();
    connect(&model.hearing(), &HearingChoices::soundsChanged, this, [this](bool on) {
        if (on)
            connectToServer();
    });

    // T on its own or as the end of a memory played to air; the byte is out already.
    connect(&model, &PanelModel::commandSent, this, [this](char command) {
        if (command == 'T')
            play(kOnAir, "A message goes on the air");
    });
    connect(&model.transmission(), &Transmission::messageEnded, this,
            [this] { play(kMessageEnded, "The message ended"); });
    connect(&model.line(), &Line::lost, this, [this] { play(kPortLost, "The port was lost"); });
    connect(&model.line(), &Line::stateChanged, this, [this](Line::State now) {
        if (m_lineState == Line::State::Waiting && now == Line::State::Open)
            play(kPortBack, "The port is back");
        m_lineState = now;
    });
    connect(&model.repeat(), &RepeatTransmit::told, this, [this] {
        // A repeat tells its start before its first transmission goes out, so the
        // start is heard ahead of that transmission's own sound.
        if (m_model.repeat().repeating() && !m_repeating)
            play(kRepeatStarted, "A repeat started");
        m_repeating = m_model.repeat().repeating();
    });
    connect(&model.repeat(), &RepeatTransmit::stopped, this, [this] {
        m_repeating = false;
        play(kRepeatEnded, "The repeat ended");
    });
    connect(&model.boxes(), &OperatorBoxes::refusedWithBeep, this, [this] { play(kRefused, "Refused"); });
}

void EventSounds::connectToServer()
{
    if (!m_context || m_connected)
        return;
    if (const int failed = ca_context_open(m_context); failed != CA_SUCCESS) {
        qCWarning(failureLog).noquote() << "No event sounds:" << ca_strerror(failed);
        ca_context_destroy(m_context);
        m_context = nullptr;
        return;
    }
    m_connected = true;
    desktopSetting(); // asked now, answered long before the first sound
}

EventSounds::~EventSounds()
{
    if (m_context)
        ca_context_destroy(m_context);
}

// ca_context_play hands the sound to the sound server's own thread and returns; the
// sample stays cached there, so the next play of it starts at once.
void EventSounds::play(const char *name, const char *description)
{
    if (!m_connected || !desktopSetting().allows || !m_model.hearing().sounds())
        return;
    QTimer::singleShot(kAfterTheByteMs, this, [this, name, description] { playNow(name, description); });
}

void EventSounds::playNow(const char *name, const char *description)
{
    const DesktopSetting &desktop = desktopSetting();
    const int failed = ca_context_play(m_context, 0, CA_PROP_EVENT_ID, name, CA_PROP_EVENT_DESCRIPTION, description,
                                       CA_PROP_CANBERRA_CACHE_CONTROL, "permanent", CA_PROP_CANBERRA_XDG_THEME_NAME,
                                       desktop.theme.isEmpty() ? "freedesktop" : desktop.theme.constData(), nullptr);
    if (failed != CA_SUCCESS) {
        qCWarning(failureLog).noquote() << "The sound" << name << "did not play:" << ca_strerror(failed);
        return;
    }
    emit played(QString::fromLatin1(name));
}

// GNOME's switch for event sounds and its sound theme, asked once for the whole run on
// the desktops that keep them (GNOME and those built on it); elsewhere, or where no
// GSettings answers, the sounds play from the freedesktop theme.
const EventSounds::DesktopSetting &EventSounds::desktopSetting()
{
    static DesktopSetting setting;
    static const bool asked = [] {
        static const QStringList gnomeLike {QStringLiteral("GNOME"), QStringLiteral("Unity"), QStringLiteral("MATE"),
                                            QStringLiteral("Cinnamon"), QStringLiteral("Budgie")};
        const QStringList desktops = qEnvironmentVariable("XDG_CURRENT_DESKTOP").split(QLatin1Char(':'));
        if (std::ranges::none_of(desktops, [](const QString &name) { return gnomeLike.contains(name); }))
            return false;
        auto ask = [](const QString &key, auto use) {
            auto *gsettings = new QProcess(QCoreApplication::instance());
            QObject::connect(gsettings, &QProcess::finished, gsettings,
                             [gsettings, use](int code, QProcess::ExitStatus status) {
                                 if (status == QProcess::NormalExit && code == 0)
                                     use(QString::fromUtf8(gsettings->readAllStandardOutput())
                                             .trimmed()
                                             .remove(QLatin1Char('\'')));
                                 gsettings->deleteLater();
                             });
            QObject::connect(gsettings, &QProcess::errorOccurred, gsettings, &QObject::deleteLater);
            gsettings->start(QStringLiteral("gsettings"),
                             {QStringLiteral("get"), QStringLiteral("org.gnome.desktop.sound"), key});
        };
        ask(QStringLiteral("event-sounds"),
            [](const QString &value) { setting.allows = value != QLatin1String("false"); });
        ask(QStringLiteral("theme-name"), [](const QString &theme) { setting.theme = theme.toUtf8(); });
        return true;
    }();
    Q_UNUSED(asked);
    return setting;
}
