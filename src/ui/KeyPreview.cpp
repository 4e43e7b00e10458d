#include "KeyPreview.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
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

// The menu bar holds the keyboard only while the operator walks the menus with it
// (after Escape has closed an open menu, or after Alt): its keys are the menus'.
static bool belongsToMenus(QObject *object)
{
    return qobject_cast<QMenuBar *>(object) || qobject_cast<QMenu *>(object);
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
    if (belongsToMenus(watched))
        return false; // nor when the menu bar passes it on to the window

    const auto *key = static_cast<QKeyEvent *>(event);
    if (key->text().isEmpty() || key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab
        || (key->modifiers() & Qt::AltModifier))
        return false;
    const char16_t c = key->text().front().unicode();
    m_handler(c <= 0xFF ? c : '?'); // outside Latin-1: no command, but still a key
    return false;
}
