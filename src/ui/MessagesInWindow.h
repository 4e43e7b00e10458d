#pragma once

#include <QObject>

class Form1;
class QAction;
class QLabel;

// What the window shows of the memories' names and lengths, without changing any
// caption or geometry of its own: each digit button's tooltip and accessible
// description ("CQ contest, 2.8 s"); in the small line under the status, which the
// repeat's line shares (a running repeat and the model's notice keep it), the chosen
// memory ("5: CQ contest") or the countdown of the message that plays ("TX 5: 2 s"); and the
// Options menu's "Message Names…", the Options menu's last item, with its dialog.
class MessagesInWindow : public QObject {
    Q_OBJECT

public:
    static inline const QString kItemCaption = QStringLiteral("Message Names\u2026");

    // Made after the repeat's indicator, whose line it shares.
    explicit MessagesInWindow(Form1 &form);

    QAction *item() const { return m_item; }
    // Opens the dialog and keeps what the operator leaves in it.
    void openDialog();

private:
    void describeButtons();
    void showLine();

    Form1 &m_form;
    QLabel *m_line;
    QAction *m_item;
};
