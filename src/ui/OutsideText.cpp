#include "OutsideText.h"

#include <QTextDocument>

QString shownAsWritten(const QString &text)
{
    return text.isEmpty() ? QString() : Qt::convertFromPlainText(text, Qt::WhiteSpaceNormal);
}
