#pragma once

#include <QList>
#include <QObject>

class QAction;
class QWidget;

// Tells when the operator acts in one window: a key pressed in it (any key), a mouse
// button pressed on it, a button clicked or a menu item chosen. A choice is told
// before the item's own handler runs, provided this is made before the window's
// handlers are connected. The menu bar itself is no choice: opening a menu to look
// is not acting. Items in `leftOut` are not told.
// It listens only while watching, so a window at rest pays nothing for it.
class OperatorInput : public QObject {
    Q_OBJECT

public:
    OperatorInput(QWidget *window, QList<QAction *> leftOut, QObject *parent = nullptr);

    void setWatching(bool watching);
    bool watching() const { return m_watching; }

signals:
    void acted();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void tell();

    QWidget *m_window;
    bool m_watching = false;
};
