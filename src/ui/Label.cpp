#include "Label.h"

#include "VbColor.h"
#include "VisibleText.h"

#include <QEvent>

Label::Label(QWidget *parent)
    : QLabel(parent)
{
    setTextFormat(Qt::PlainText);
    applyColors();
}

void Label::setCaption(const QString &caption)
{
    if (caption == m_caption)
        return; // an unchanged caption costs no repaint
    m_caption = caption;
    setText(visibleText(caption));
    emit captionChanged(m_caption);
}

void Label::setForeColor(quint32 color)
{
    if (color == m_foreColor)
        return;
    m_foreColor = color;
    applyColors();
}

void Label::setBackColor(quint32 color)
{
    m_backColor = color;
    setAutoFillBackground(true);
    applyColors();
}

void Label::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::ApplicationPaletteChange)
        applyColors(); // system colours follow the desktop's scheme
    QLabel::changeEvent(event);
}

void Label::applyColors()
{
    QPalette p = palette();
    p.setColor(QPalette::WindowText, VbColor::toColor(m_foreColor));
    if (m_backColor)
        p.setColor(QPalette::Window, VbColor::toColor(*m_backColor));
    setPalette(p);
}
