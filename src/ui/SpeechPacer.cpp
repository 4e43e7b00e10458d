#include "SpeechPacer.h"

#include <algorithm>

qint64 SpeechPacer::speakingTime(const QString &words)
{
    // The screen reader ends each announcement with a full stop.
    return kUtterancePause + (words.size() + 1) * 1000 / kCharactersPerSecond;
}

QString SpeechPacer::spokenPart(const QString &line)
{
    const QString whole = line.simplified();
    if (speakingTime(whole) <= kLongestLineSpeech)
        return whole;
    const qsizetype room = (kLongestLineSpeech - kUtterancePause) * kCharactersPerSecond / 1000 - 1;
    QString part = whole.left(room);
    if (whole.at(room) != u' ') { // a word is cut: end at the one before, if there is one
        if (const qsizetype space = part.lastIndexOf(u' '); space > 0)
            part.truncate(space);
    }
    return part.trimmed();
}

void SpeechPacer::saidNow(const QString &words, qint64 now)
{
    m_quietAt = std::max(m_quietAt, now) + speakingTime(words);
}

std::optional<QString> SpeechPacer::lineArrived(const QString &line, qint64 now)
{
    ++m_held;
    m_lastHeld = line;
    return tick(now);
}

std::optional<QString> SpeechPacer::tick(qint64 now)
{
    if (m_held == 0 || now < m_quietAt + kQuietBeforeLines)
        return std::nullopt;
    const QString words = spokenPart(m_lastHeld);
    dropHeldLines();
    saidNow(words, now);
    return words;
}

void SpeechPacer::dropHeldLines()
{
    m_held = 0;
    m_lastHeld.clear();
}
