#pragma once

#include "panel/Line.h"

#include <QByteArray>
#include <QObject>

class PanelModel;
struct ca_context;

// What happens on the air heard as the desktop's own event sounds (libcanberra, the
// freedesktop sound theme), for an operator who cannot glance at the window: one short
// sound for a message going on the air, a message of known length ending, the port
// lost and back, a repeat starting and ending, and a refusal where the panel beeps.
// They play while Options -> Sounds is on, at the desktop's event-sound volume (the
// sound server's "event" role), and not at all where the desktop has event sounds
// turned off. A sound follows the command's byte and never holds it up: playing
// hands the sound to the sound server and returns.
class EventSounds : public QObject {
    Q_OBJECT

public:
    // The theme's sound names, one per event.
    static constexpr auto kOnAir = "message-new-instant";
    static constexpr auto kMessageEnded = "complete";
    static constexpr auto kPortLost = "device-removed";
    static constexpr auto kPortBack = "device-added";
    static constexpr auto kRepeatStarted = "service-login";
    static constexpr auto kRepeatEnded = "service-logout";
    static constexpr auto kRefused = "dialog-warning";

    // A sound waits this long after its event, so that the sound client's threads
    // never compete with the kernel handing the command's byte to the line.
    static constexpr int kAfterTheByteMs = 2;

    explicit EventSounds(PanelModel &model, QObject *parent = nullptr);
    ~EventSounds() override;

    // Whether event sounds can be made here; a sound server that refuses the
    // connection, once sounds are on, turns them off and the panel runs silent.
    bool available() const { return m_context != nullptr; }

signals:
    // A sound was handed to the sound server (its theme name).
    void played(const QString &name);

private:
    struct DesktopSetting {
        bool allows = true;
        QByteArray theme; // empty: the freedesktop theme
    };
    static const DesktopSetting &desktopSetting();
    void connectToServer();
    // Theme names and descriptions are literals, which outlive any wait.
    void play(const char *name, const char *description);
    void playNow(const char *name, const char *description);

    PanelModel &m_model;
    ca_context *m_context = nullptr;
    bool m_connected = false; // to the sound server, once sounds were on
    Line::State m_lineState;
    bool m_repeating = false;
};
