#include "SettingsRecord.h"

QByteArray SettingsRecord::build(int commPort, const QString &settings)
{
    const QByteArray portText = QByteArray::number(commPort);
    return "COM" + portText.right(1) + ":" + settings.toUpper().toLatin1();
}

int SettingsRecord::portNumberOf(const QByteArray &text)
{
    if (text.size() < 4)
        return 0;
    const char digit = text.at(3);
    return digit >= '0' && digit <= '9' ? digit - '0' : 0;
}

QString SettingsRecord::settingsTextOf(const QByteArray &text)
{
    return text.size() < 6 ? QString() : QString::fromLatin1(text.mid(5));
}
