#include "VisibleText.h"

QString visibleText(const QString &text)
{
    QString shown;
    shown.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text.at(i).unicode();
        if (c == u'\r') {
            shown.append(u'\n');
            if (i + 1 < text.size() && text.at(i + 1) == u'\n')
                ++i;
        } else if (c == u'\n' || c == u'\t') {
            shown.append(QChar(c));
        } else if (c < 0x20) {
            shown.append(QChar(char16_t(0x2400 + c))); // the Control Pictures block
        } else if (c == 0x7F) {
            shown.append(QChar(char16_t(0x2421)));
        } else if (c >= 0x80 && c < 0xA0) {
            shown.append(QChar(char16_t(0xFFFD)));
        } else {
            shown.append(QChar(c));
        }
    }
    return shown;
}
