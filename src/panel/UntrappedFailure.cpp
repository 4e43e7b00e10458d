#include "UntrappedFailure.h"

void reportUntrappedFailure(Desktop &desktop, const QString &what)
{
    desktop.messageBox(QStringLiteral("The program has to stop after an unexpected failure:\r%1").arg(what),
                       Desktop::Critical);
    desktop.endProgram(1);
}
