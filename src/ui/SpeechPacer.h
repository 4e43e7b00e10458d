#pragma once

#include <QString>

#include <optional>

// Decides when the window's announcements are spoken, so that a screen reader never
// falls behind. A screen reader queues every announcement and cuts none short, so
// what is handed to it now is heard only after everything handed to it before.
// The pacer keeps an estimate of when that queue runs dry:
// - a status or a command's confirmation is said at once (it is never held back
//   behind received lines);
// - a received line is said only when the queue is estimated to be empty and a
//   short quiet has followed; lines that arrive meanwhile are held, and when that
//   time comes the newest of them is said: the unit's latest state;
// - what is said of a line takes at most about a second, so that a command's words
//   handed out meanwhile wait no longer than that: a longer line is said up to the
//   last whole word that fits.
// Times are milliseconds on any steady clock, given by the caller.
class SpeechPacer {
public:
    // Speaking rate of the estimate: about 180 words a minute, plus the pause every
    // utterance costs.
    static constexpr int kCharactersPerSecond = 15;
    static constexpr qint64 kUtterancePause = 250;
    // Quiet left after any speech before received lines are spoken again.
    static constexpr qint64 kQuietBeforeLines = 1000;
    // The longest a line's words may take.
    static constexpr qint64 kLongestLineSpeech = 1000;

    // How long the words take to say, as estimated.
    static qint64 speakingTime(const QString &words);
    // The part of a line that is said: all of it, or its first words that fit.
    static QString spokenPart(const QString &line);

    // Words said at once (a status, a confirmation): the queue grows by their time.
    void saidNow(const QString &words, qint64 now);

    // A received line. Returns what to say now, or nothing while it is held.
    std::optional<QString> lineArrived(const QString &line, qint64 now);

    // The clock moved on: the held lines, said together, once their time has come.
    std::optional<QString> tick(qint64 now);

    // Held lines are forgotten (received data is no longer spoken).
    void dropHeldLines();

    int heldLines() const { return m_held; }

private:
    qint64 m_quietAt = -kQuietBeforeLines; // when the speech handed out so far is estimated to end
    int m_held = 0;
    QString m_lastHeld;
};
