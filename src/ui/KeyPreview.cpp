#include "KeyPreview.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QWidget>

KeyPreview::KeyPreview(QWidget *window, std::function<void(int)> handler)
    : QObject(window)
    , m_window(window)
    , m_handler(std::move(handler))
{
    QCoreApplication::instance()->installEventFilter(this);
}

bool KeyPreview::isInWindow(QObject *object) const
{
    return object->isWidgetType() && static_cast<QWidget *>(object)->window() == m_window;
}

bool KeyPreview::eventFilter(QObject *watched, QEvent *event)
{
    const QEvent::Type type = event->type();
    if (type != QEvent::KeyPress && type != QEvent::KeyRelease && type != QEvent::ShortcutOverride)
        return false;
    if (!isInWindow(watched))
        return false;
    if (type != QEvent::KeyPress) {
        m_lastKey = nullptr; // a new key press follows
        return false;
    }

    // The same press handed on to a parent of the control that had it first.
    if (event == m_lastKey && m_lastTarget && m_lastTarget != watched) {
        for (QObject *o = m_lastTarget->parent(); o; o = o->parent())
            if (o == watched)
                return false;
    }
    m_lastKey = event;
    m_lastTarget = watched;

    const auto *key = static_cast<QKeyEvent *>(event);
    if (key->text().isEmpty() || key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab
        || (key->modifiers() & Qt::AltModifier))
        return false;
    const char16_t c = key->text().front().unicode();
    m_handler(c <= 0xFF ? c : '?'); // outside Latin-1: no command, but still a key
    return false;
}
