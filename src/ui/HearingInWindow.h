#pragma once

#include <QObject>

class EventSounds;
class Form1;
class QAction;
class QMenu;

// What the window offers an operator who listens rather than looks: the Options
// menu's last items, "Sounds" (the desktop's event sounds for what happens on the
// air) and "Speech" (Full, Brief or Off), which show and change the model's
// HearingChoices, and the key that reads the active set out (kReadSetKey), which no
// command, menu or Orca binding uses: Orca's own keys all take its modifier (Insert
// or Caps Lock); F12 types no character, so it never reaches the command keys; and
// the guide suggests F1 to F10 as desktop-wide keys for qx50-send, which would take
// those keys before the window sees them.
class HearingInWindow : public QObject {
    Q_OBJECT

public:
    static constexpr auto kReadSetKey = "F12";
    static inline const QString kSoundsCaption = QStringLiteral("Sounds");
    static inline const QString kSpeechCaption = QStringLiteral("Speech");

    explicit HearingInWindow(Form1 &form);

    QAction *soundsItem() const { return m_sounds; }
    QMenu *speechMenu() const { return m_speech; }
    QAction *readSetKey() const { return m_readSet; }
    EventSounds &sounds() const { return *m_eventSounds; }

signals:
    // The operator asked for the set; the window's announcer says these words.
    void setDescribed(const QString &words);

private:
    Form1 &m_form;
    QAction *m_sounds;
    QMenu *m_speech;
    QAction *m_readSet;
    EventSounds *m_eventSounds;
};
