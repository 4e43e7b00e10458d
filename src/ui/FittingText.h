#pragma once

#include <QFontMetrics>
#include <QString>
#include <QStringList>

// The fullest of a text's forms (given fullest first) that fits `width` pixels as
// `metrics` draws it; when none does, the shortest, cut with an ellipsis. Measured
// with the font the label draws with, so no form is chosen by its count of letters.
QString fittingForm(const QStringList &forms, const QFontMetrics &metrics, int width);
