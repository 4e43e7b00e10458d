#pragma once

#include <QString>

// Text from outside the program (a server's words, a device's or a program's name,
// a file) for a place Qt reads as rich text whenever the text looks like markup:
// a tooltip, a message box's informative text. It comes back as rich text that
// shows exactly those characters, line breaks kept.
QString shownAsWritten(const QString &text);
