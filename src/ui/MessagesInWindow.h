#pragma once

#include <QObject>

class Form1;
class QAction;

// What the window shows of the memories' names and lengths, without changing any
// caption or geometry of its own: each digit button's tooltip and accessible
// description ("CQ contest, 2.8 s"), and the Options menu's "Message Names…" (after it
// come only the hearing choices), with its dialog. The line under the status that names the chosen or playing
// message is RepeatIndicator's, which decides what that line shows.
class MessagesInWindow : public QObject {
    Q_OBJECT

public:
    static inline const QString kItemCaption = QStringLiteral("Message Names\u2026");

    explicit MessagesInWindow(Form1 &form);

    QAction *item() const { return m_item; }
    // Opens the dialog and keeps what the operator leaves in it.
    void openDialog();

private:
    void describeButtons();

    Form1 &m_form;
    QAction *m_item;
};
