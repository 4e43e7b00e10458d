#pragma once

#include <QString>

// What a label draws for a text: line breaks (CR LF, CR or LF) start new lines, tabs
// stay, and every other control character is drawn as its visible symbol, so no
// received byte vanishes from sight.
QString visibleText(const QString &text);
