#include "HearingChoices.h"

#include "FailureLog.h"

HearingChoices::HearingChoices(const QString &preferencesFile, QObject *parent)
    : QObject(parent)
    , m_preferences(preferencesFile)
{
}

void HearingChoices::setScreenReaderRunning(bool running)
{
    const bool before = sounds();
    m_screenReaderRunning = running;
    if (sounds() != before)
        emit soundsChanged(sounds());
}

void HearingChoices::setSounds(bool on)
{
    const bool before = sounds();
    QString why;
    if (!m_preferences.setSounds(on, &why))
        qCWarning(failureLog).noquote() << "Sounds is not remembered:" << why;
    if (on != before)
        emit soundsChanged(on);
}

void HearingChoices::setSpeech(Speech speech)
{
    const Speech before = m_preferences.speech();
    QString why;
    if (!m_preferences.setSpeech(speech, &why))
        qCWarning(failureLog).noquote() << "Speech is not remembered:" << why;
    if (speech != before)
        emit speechChanged(speech);
}
