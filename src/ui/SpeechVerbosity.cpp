#include "SpeechVerbosity.h"

#include "contract/CommandTable.h"

#include <QRegularExpression>

std::optional<QString> SpeechVerbosity::command(const QString &fullWords, char command,
                                                const QString &memoryName, bool ofARepeat) const
{
    switch (m_speech) {
    case Speech::Off: return std::nullopt;
    case Speech::Brief:
        if (ofARepeat)
            return std::nullopt;
        if (CommandTable::isMemory(command))
            return memoryName.isEmpty() ? QString(QLatin1Char(command))
                                        : QStringLiteral("%1, %2").arg(QLatin1Char(command)).arg(memoryName);
        return fullWords;
    case Speech::Full: break;
    }
    return memoryName.isEmpty() ? fullWords : fullWords + QStringLiteral(", ") + memoryName;
}

std::optional<QString> SpeechVerbosity::status(const QString &words) const
{
    if (m_speech == Speech::Off)
        return std::nullopt;
    return words;
}

// A port's words lead with "COMn lost" or "COMn back"; Brief keeps that and drops the
// device's path and what the panel does about it, which the line under the status shows.
std::optional<QString> SpeechVerbosity::line(const QString &words) const
{
    if (m_speech == Speech::Off)
        return std::nullopt;
    if (m_speech == Speech::Brief) {
        static const QRegularExpression portWords(QStringLiteral("^(COM\\d+ (?:lost|back))"));
        if (const auto found = portWords.match(words); found.hasMatch())
            return found.captured(1);
    }
    return words;
}

bool SpeechVerbosity::receivedLines(bool messageGoesOn) const
{
    switch (m_speech) {
    case Speech::Off: return false;
    case Speech::Brief: return !messageGoesOn; // the radio's own audio goes on meanwhile
    case Speech::Full: break;
    }
    return true;
}

std::optional<QString> SpeechVerbosity::repeatStarted(const QString &fullWords, int count, qint64 nowMs)
{
    m_repeatCount = count;
    m_repeatToldAt = nowMs;
    switch (m_speech) {
    case Speech::Off: return std::nullopt;
    case Speech::Brief: return QStringLiteral("Repeat 1 of %1").arg(count);
    case Speech::Full: break;
    }
    return fullWords;
}

std::optional<QString> SpeechVerbosity::repeatProgressed(int left, qint64 nowMs)
{
    if (m_speech != Speech::Brief || m_repeatCount <= 0 || nowMs - m_repeatToldAt < kRepeatProgressEveryMs)
        return std::nullopt;
    const int sent = m_repeatCount - left; // the transmission that just went out
    if (sent <= 1)
        return std::nullopt;
    m_repeatToldAt = nowMs;
    return QStringLiteral("Repeat %1 of %2").arg(sent).arg(m_repeatCount);
}

std::optional<QString> SpeechVerbosity::repeatEnded(const QString &fullWords) const
{
    if (m_speech == Speech::Off)
        return std::nullopt;
    return fullWords;
}
