#pragma once

#include <QObject>
#include <QPointer>
#include <functional>

class QWidget;

// Shows every character key typed in one window to a handler before the focused
// control sees it, as an 8-bit (Latin-1) character code. The key then goes on
// unchanged. Keys that give no character, Tab, Alt combinations and the keys that
// walk or open the menus while the menus hold the keyboard are not shown.
// A key the focused control ignores travels up to its parents; the handler sees it
// on its first delivery only.
class KeyPreview : public QObject {
    Q_OBJECT

public:
    KeyPreview(QWidget *window, std::function<void(int)> handler);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool isInWindow(QObject *object) const;

    QWidget *m_window;
    std::function<void(int)> m_handler;
    const QEvent *m_lastKey = nullptr;
    QPointer<QObject> m_lastTarget;
};
