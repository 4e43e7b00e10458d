#pragma once

#include "Label.h"

#include <QRectF>

class QTextLayout;

// A label for a rolling text: it wraps long lines anywhere, not only between words,
// and when the text is taller than the label it keeps the last line in view and
// cuts the older lines off at the top.
class TailLabel : public Label {
    Q_OBJECT

public:
    explicit TailLabel(QWidget *parent = nullptr);

    // Where the character at index i of text() is drawn, in the label's coordinates;
    // an empty rectangle for an index outside the text.
    QRectF characterRect(qsizetype index) const;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    // Lays the text out in the label's width and returns how far it is moved up so
    // that its end is in view.
    qreal layOut(QTextLayout &layout) const;
};
