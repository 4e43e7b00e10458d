// Arbitrary bytes as a serial settings text and as a settings file's record: never a
// crash, and whatever is accepted survives the trip through the file.
#include "Require.h"
#include "serial/SerialSettings.h"
#include "serial/SettingsRecord.h"

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

void checkText(const QString &text)
{
    const auto parsed = SerialSettings::parse(text);
    if (!parsed)
        return;
    require(parsed->baudRate > 0);
    require(parsed->dataBits >= 4 && parsed->dataBits <= 8);
    require(QStringLiteral("NEOMS").contains(QChar::fromLatin1(parsed->parity)));
    // What the settings file stores, upper-cased, must read back as the same settings.
    for (int port = 1; port <= 4; ++port) {
        const QByteArray record = SettingsRecord::build(port, text);
        require(SettingsRecord::portNumberOf(record) == port);
        const auto restored = SerialSettings::parse(SettingsRecord::settingsTextOf(record));
        require(restored && *restored == *parsed);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    checkText(QString::fromLatin1(bytes));
    checkText(QString::fromUtf8(bytes));

    const int port = SettingsRecord::portNumberOf(bytes);
    require(port >= 0 && port <= 9);
    const QString tail = SettingsRecord::settingsTextOf(bytes);
    require(tail.size() == (bytes.size() < 6 ? 0 : bytes.size() - 5));
    return 0;
}
