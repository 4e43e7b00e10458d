#include "TailLabel.h"

#include <QPainter>
#include <QTextLayout>

TailLabel::TailLabel(QWidget *parent)
    : Label(parent)
{
}

qreal TailLabel::layOut(QTextLayout &layout) const
{
    QString text = this->text();
    text.replace(QLatin1Char('\n'), QChar::LineSeparator); // a text layout breaks only there
    layout.setText(text);
    layout.setFont(font());
    QTextOption option(alignment());
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);

    const QRectF area = contentsRect();
    qreal height = 0;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(area.width());
        line.setPosition(QPointF(0, height));
        height += line.height();
    }
    layout.endLayout();
    return std::max<qreal>(0, height - area.height());
}

QRectF TailLabel::characterRect(qsizetype index) const
{
    if (index < 0 || index >= text().size())
        return {};
    QTextLayout layout;
    const qreal raised = layOut(layout);
    const QTextLine line = layout.lineForTextPosition(static_cast<int>(index));
    if (!line.isValid())
        return {};
    const qreal left = line.cursorToX(static_cast<int>(index));
    const qreal right = line.cursorToX(static_cast<int>(index) + 1);
    const QPointF origin = contentsRect().topLeft() + QPointF(0, -raised);
    return QRectF(origin.x() + std::min(left, right), origin.y() + line.y(), std::abs(right - left), line.height());
}

void TailLabel::paintEvent(QPaintEvent *)
{
    QTextLayout layout;
    const qreal raised = layOut(layout);
    QPainter painter(this);
    painter.setClipRect(contentsRect());
    painter.setPen(palette().color(QPalette::WindowText));
    layout.draw(&painter, contentsRect().topLeft() + QPointF(0, -raised));
}
