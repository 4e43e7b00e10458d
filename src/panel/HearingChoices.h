#pragma once

#include "PanelPreferences.h"

#include <QObject>

// What the operator chose to hear of the panel without looking: the desktop's event
// sounds for what happens on the air, and how much the panel says to a screen reader
// on its own (Options -> Sounds, Options -> Speech), both remembered in options.conf.
// The window, the bus and qx50-web read and change them here only.
class HearingChoices : public QObject {
    Q_OBJECT

public:
    using Speech = PanelPreferences::Speech;

    explicit HearingChoices(const QString &preferencesFile, QObject *parent = nullptr);

    // Sounds never chosen follow whether a screen reader runs: on with one, off without.
    void setScreenReaderRunning(bool running);

    bool sounds() const { return m_preferences.sounds().value_or(m_screenReaderRunning); }
    void setSounds(bool on);
    Speech speech() const { return m_preferences.speech(); }
    void setSpeech(Speech speech);

signals:
    void soundsChanged(bool on);
    void speechChanged(HearingChoices::Speech speech);

private:
    PanelPreferences m_preferences;
    bool m_screenReaderRunning = false;
};
