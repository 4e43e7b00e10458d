#pragma once

#include <QByteArray>
#include <QString>

// A QR code of the text for a phone's camera, drawn in a terminal with half blocks,
// two rows of modules to a line, dark on light whatever the terminal's own colours.
// Empty when the text does not fit in a QR code.
QByteArray terminalQr(const QString &text);
