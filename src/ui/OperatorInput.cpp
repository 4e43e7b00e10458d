#include "OperatorInput.h"

#include <QAbstractButton>
#include <QAction>
#include <QCoreApplication>
#include <QEvent>
#include <QMenu>
#include <QMenuBar>
#include <QWidget>

namespace {

void collectItems(const QList<QAction *> &items, QList<QAction *> &into)
{
    for (QAction *item : items) {
        if (item->isSeparator())
            continue;
        if (QMenu *submenu = item->menu())
            collectItems(submenu->actions(), into);
        else
            into << item;
    }
}

} // namespace

OperatorInput::OperatorInput(QWidget *window, QList<QAction *> leftOut, QObject *parent)
    : QObject(parent)
    , m_window(window)
{
    // Clicks and choices made without a pointer or key event (a screen reader's
    // "press") are seen through the controls' own signals.
    for (QAbstractButton *button : window->findChildren<QAbstractButton *>())
        connect(button, &QAbstractButton::clicked, this, &OperatorInput::tell);
    QList<QAction *> items;
    if (auto *bar = window->findChild<QMenuBar *>())
        collectItems(bar->actions(), items);
    for (QAction *item : std::as_const(items))
        if (!leftOut.contains(item))
            connect(item, &QAction::triggered, this, &OperatorInput::tell);
}

void OperatorInput::setWatching(bool watching)
{
    if (watching == m_watching)
        return;
    m_watching = watching;
    // Installed last, this filter sees a key before the window's key preview does.
    if (watching)
        QCoreApplication::instance()->installEventFilter(this);
    else
        QCoreApplication::instance()->removeEventFilter(this);
}

void OperatorInput::tell()
{
    if (m_watching)
        emit acted();
}

bool OperatorInput::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: break;
    default: return false;
    }
    if (!watched->isWidgetType() || qobject_cast<QMenuBar *>(watched))
        return false;
    if (static_cast<QWidget *>(watched)->window() == m_window)
        tell();
    return false;
}
