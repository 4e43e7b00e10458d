#include "SetDescription.h"

#include "MessageBook.h"

#include "contract/CommandTable.h"

#include <QStringList>

QString describeActiveSet(const MessageBook &book)
{
    QStringList sentences {QStringLiteral("%1 set").arg(book.activeSet())};
    for (const PanelCommand *key : CommandTable::keypad()) {
        const int memory = key->character - '0';
        const QString name = book.name(memory);
        if (name.isEmpty())
            continue; // an unnamed memory tells the ear nothing worth its time
        QString words = QStringLiteral("%1, %2").arg(QLatin1Char(key->character)).arg(name);
        if (const int ms = book.lengthMs(memory); ms > 0)
            words += QStringLiteral(", %1 seconds").arg(ms / 1000.0, 0, 'f', 1);
        sentences << words;
    }
    if (sentences.size() == 1)
        sentences << QStringLiteral("No memory is named");
    return sentences.join(QStringLiteral(". ")) + QLatin1Char('.');
}
