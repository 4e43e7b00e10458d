#include "SerialSettings.h"

#include <QList>

#include <limits>

namespace {

std::optional<qint32> parseBaud(QStringView field)
{
    if (field.isEmpty() || field.size() > 10)
        return std::nullopt;
    qint64 value = 0;
    for (QChar c : field) {
        if (c < u'0' || c > u'9')
            return std::nullopt;
        value = value * 10 + (c.unicode() - u'0');
    }
    if (value <= 0 || value > std::numeric_limits<qint32>::max())
        return std::nullopt;
    return static_cast<qint32>(value);
}

std::optional<SerialSettings::StopBits> parseStopBits(QStringView field)
{
    if (field == u"1")
        return SerialSettings::StopBits::One;
    if (field == u"1.5")
        return SerialSettings::StopBits::OneAndHalf;
    if (field == u"2")
        return SerialSettings::StopBits::Two;
    return std::nullopt;
}

// At most this many characters of a refused text are shown, so that a file of
// anything at all (a stray binary, a wrong file) still fits the box that shows it.
constexpr qsizetype kShownLength = 60;

// A character as shown: control characters spelled out, so that a stray line end can
// be seen (<CR>, <LF>).
QString shownCharacter(QChar c)
{
    switch (c.unicode()) {
    case u'\r': return QStringLiteral("<CR>");
    case u'\n': return QStringLiteral("<LF>");
    case u'\t': return QStringLiteral("<TAB>");
    default:
        if (c.unicode() < 0x20 || c.unicode() == 0x7F || (c.unicode() >= 0x80 && c.unicode() < 0xA0))
            return QStringLiteral("<0x%1>").arg(c.unicode(), 2, 16, QLatin1Char('0'));
        return QString(c);
    }
}

// The text as shown, cut to kShownLength characters at most, never inside a spelled
// out control character, with "…" when some of it was left out.
QString withControlsShown(QStringView text)
{
    QString shown;
    for (QChar c : text) {
        const QString next = shownCharacter(c);
        if (shown.size() + next.size() > kShownLength)
            return shown + QChar(0x2026);
        shown += next;
    }
    return shown;
}

} // namespace

QString SerialSettings::refusal(QStringView text)
{
    QStringView body = text;
    while (body.endsWith(u'\r') || body.endsWith(u'\n'))
        body.chop(1);
    const QString shown = withControlsShown(text);
    if (body.size() < text.size() && parse(body))
        return QStringLiteral("\"%1\" ends with a line end, and no line end is allowed after the settings. "
                              "Save the settings file without one, or choose the port again from the Com menu.")
            .arg(shown);
    if (text.isEmpty())
        return QStringLiteral("the settings text is empty (for example 9600,n,8,1)");
    return QStringLiteral("\"%1\" is not a serial setting (for example 9600,n,8,1)").arg(shown);
}

std::optional<SerialSettings> SerialSettings::parse(QStringView text)
{
    const auto fields = text.split(u',');
    if (fields.size() != 4)
        return std::nullopt;

    const auto baud = parseBaud(fields[0]);
    if (!baud)
        return std::nullopt;

    // ASCII only: some letters upper-case to characters whose low byte is a parity letter.
    if (fields[1].size() != 1 || fields[1].front().unicode() > 0x7F)
        return std::nullopt;
    const char parity = static_cast<char>(fields[1].front().toUpper().unicode());
    if (QStringView(u"NEOMS").indexOf(QChar::fromLatin1(parity)) < 0)
        return std::nullopt;

    if (fields[2].size() != 1 || fields[2].front() < u'4' || fields[2].front() > u'8')
        return std::nullopt;
    const int dataBits = fields[2].front().unicode() - u'0';

    const auto stopBits = parseStopBits(fields[3]);
    if (!stopBits)
        return std::nullopt;

    return SerialSettings {*baud, parity, dataBits, *stopBits};
}
