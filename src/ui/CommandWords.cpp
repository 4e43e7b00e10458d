#include "CommandWords.h"

#include "app/StatusEffect.h"

QString commandWords(char command)
{
    if (const auto effect = statusEffectOf(command))
        return QString::fromLatin1(effect->caption);
    if (command == 'S')
        return QStringLiteral("Stop");
    if (command >= '0' && command <= '9')
        return QStringLiteral("Memory %1").arg(QChar::fromLatin1(command));
    return {};
}
