#pragma once

#include "panel/PanelPreferences.h"

#include <QString>

#include <optional>

// How much the panel says on its own at each level of Options -> Speech; the one
// place the words of Brief are decided. Nothing here applies to what a screen reader
// reads of the control that has the focus, which the panel never silences.
// - Full: today's words;
// - Brief: a chosen memory as "5, CQ contest", a port as "COM1 lost" or "COM1 back"
//   with no path, received lines only while no message plays or transmits, and a
//   repeat as "Repeat 3 of 10" at most every 30 s;
// - Off: nothing.
class SpeechVerbosity {
public:
    using Speech = PanelPreferences::Speech;
    static constexpr qint64 kRepeatProgressEveryMs = 30000;

    explicit SpeechVerbosity(Speech speech = Speech::Full)
        : m_speech(speech)
    {
    }
    Speech speech() const { return m_speech; }
    void setSpeech(Speech speech) { m_speech = speech; }

    // A command went out: its full confirmation, and the memory's name when it has one;
    // `ofARepeat` when a running repeat sent it, which Brief tells by the repeat's count.
    std::optional<QString> command(const QString &fullWords, char command, const QString &memoryName,
                                   bool ofARepeat = false) const;
    // The status line or the line to the unit told something.
    std::optional<QString> status(const QString &words) const;
    std::optional<QString> line(const QString &words) const;
    // Whether received lines are heard, when the panel would hear them at Full.
    bool receivedLines(bool messageGoesOn) const;

    // A repeat's words: its start (with its count), each transmission's progress,
    // and its end, at `nowMs` on any steady clock.
    std::optional<QString> repeatStarted(const QString &fullWords, int count, qint64 nowMs);
    std::optional<QString> repeatProgressed(int left, qint64 nowMs);
    std::optional<QString> repeatEnded(const QString &fullWords) const;

private:
    Speech m_speech;
    int m_repeatCount = 0;
    qint64 m_repeatToldAt = 0;
};
