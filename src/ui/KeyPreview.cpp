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

// The menu bar holds the keyboard while the operator walks the menus with it (after
// Escape has closed an open menu, or after Alt). Only the keys that walk or open the
// menus are theirs there: arrows, Return, Enter, Space, Escape, and a letter that is a
// menu title's access key. Every other character key is still a key of the window.
static bool belongsToMenus(QObject *object, const QKeyEvent &key)
{
    if (qobject_cast<QMenu *>(object))
        return true;
    const auto *bar = qobject_cast<QMenuBar *>(object);
    if (!bar)
        return false;
    switch (key.key()) {
    case Qt::Key_Escape:
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space: return true;
    default: break;
    }
    const QKeySequence accessKey(QKeyCombination(Qt::AltModifier, Qt::Key(key.text().toUpper().front().unicode())));
    for (const QAction *title : bar->actions())
        if (title->isVisible() && title->isEnabled() && QKeySequence::mnemonic(title->text()) == accessKey)
            return true;
    return false;
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
    if (belongsToMenus(watched, *key))
        return false; // nor when the menu bar passes it on to the window
    const char16_t c = key->text().front().unicode();
    m_handler(c <= 0xFF ? c : '?'); // outside Latin-1: no command, but still a key
    return false;
}
