#pragma once

#include <QByteArray>
#include <QString>

// Text from a client, an upstream server or a panel on its way to the operator's
// terminal: control characters (C0, DEL and C1, where a terminal's escape sequences
// live) are shown as \xHH, so nobody else's bytes can move the cursor, retitle the
// window or ring the bell.
inline QString printable(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u < 0x20 || (u >= 0x7f && u <= 0x9f))
            out += QStringLiteral("\\x%1").arg(u, 2, 16, QLatin1Char('0'));
        else
            out += c;
    }
    return out;
}

// A client's bytes, each a character of its own (Latin-1), made printable.
inline QString printable(const QByteArray &bytes)
{
    return printable(QString::fromLatin1(bytes));
}
