#include "OperatorBoxes.h"

OperatorBoxes::OperatorBoxes(Desktop &desktop, QObject *parent)
    : QObject(parent)
    , m_desktop(desktop)
{
}

void OperatorBoxes::tell(const char *prompt, const QString &detail, bool beep)
{
    emit tellingOperator();
    if (beep) {
        emit refusedWithBeep();
        m_desktop.beep();
    }
    // While the box waits, a caller outside the window hears what it says.
    const QString before = m_told;
    m_told
        = detail.isEmpty() ? QString::fromLatin1(prompt) : QStringLiteral("%1 (%2)").arg(QLatin1String(prompt), detail);
    m_desktop.messageBox(QString::fromLatin1(prompt), Desktop::Plain, {}, detail);
    m_told = before;
}

QString OperatorBoxes::busyWords() const
{
    return m_told.isEmpty() ? kBusyWords : QStringLiteral("%1 It says: %2").arg(kBusyWords, m_told);
}
