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

} // namespace

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

    return SerialSettings{*baud, parity, dataBits, *stopBits};
}
