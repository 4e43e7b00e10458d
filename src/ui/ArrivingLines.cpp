#include "ArrivingLines.h"

#include "VisibleText.h"

QStringList ArrivingLines::take(const QString &arrived)
{
    QStringList pieces;
    if (arrived.isEmpty()) {
        finishPiece(pieces); // a quiet tick: the line so far is all there is for now
        return pieces;
    }
    for (const QChar c : arrived) {
        if (c == u'\n' && m_afterCarriageReturn) {
            m_afterCarriageReturn = false; // the second half of CR LF
            continue;
        }
        m_afterCarriageReturn = c == u'\r';
        if (c == u'\r' || c == u'\n') {
            finishPiece(pieces);
            continue;
        }
        m_unfinished += c;
        if (m_unfinished.size() >= kLongestPiece)
            finishPiece(pieces);
    }
    return pieces;
}

void ArrivingLines::finishPiece(QStringList &pieces)
{
    if (!m_unfinished.trimmed().isEmpty())
        pieces << visibleText(m_unfinished);
    m_unfinished.clear();
}
