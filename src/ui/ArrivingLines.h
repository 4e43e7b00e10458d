#pragma once

#include <QString>
#include <QStringList>

// Cuts what the unit sends, tick by tick, into the pieces a listener hears once
// each: every line as its end arrives, or what has come of a line when a tick brings
// nothing more (the rest of that line follows when it arrives). Line ends (CR, LF or
// CR LF) and blank lines are not pieces; control characters show as their symbols.
class ArrivingLines {
public:
    // A line that never ends is cut at this length, so the part kept stays small.
    static constexpr qsizetype kLongestPiece = 188;

    // The pieces completed by one tick's characters (possibly none).
    QStringList take(const QString &arrived);

private:
    void finishPiece(QStringList &pieces);

    QString m_unfinished;
    bool m_afterCarriageReturn = false;
};
