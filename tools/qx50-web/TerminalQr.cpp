#include "TerminalQr.h"

#include <qrencode.h>

#include <memory>

QByteArray terminalQr(const QString &text)
{
    const std::unique_ptr<QRcode, decltype(&QRcode_free)> code(
        QRcode_encodeString(text.toUtf8().constData(), 0, QR_ECLEVEL_M, QR_MODE_8, 1), &QRcode_free);
    if (!code)
        return {};
    constexpr int kQuiet = 4; // the light margin around the code that readers need
    const int width = code->width;
    const auto dark = [&](int row, int column) {
        row -= kQuiet;
        column -= kQuiet;
        return row >= 0 && row < width && column >= 0 && column < width && (code->data[row * width + column] & 1) != 0;
    };
    QByteArray drawing;
    const int side = width + 2 * kQuiet;
    for (int row = 0; row < side; row += 2) {
        drawing += "\033[30;47m"; // black on white
        for (int column = 0; column < side; ++column) {
            const bool top = dark(row, column);
            const bool bottom = dark(row + 1, column);
            drawing += top && bottom ? "\u2588" : top ? "\u2580" : bottom ? "\u2584" : " ";
        }
        drawing += "\033[0m\n";
    }
    return drawing;
}
