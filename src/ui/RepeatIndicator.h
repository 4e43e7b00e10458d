#pragma once

#include <QObject>
#include <QString>

class Form1;
class QLabel;

// What the window shows of a repeat: the repeat item's caption ("Stop Repeat" while
// one runs), and a small line under the status naming the memory and the
// transmissions left; while no repeat runs the same line shows the model's notice (a
// lost port waited for, or back), else its latest event ("3: recorded, 4.1 s", "Set:
// Contest"), else the chosen or playing message ("5: CQ contest", "TX 5: 2 s"). It
// shows the fullest form that fits its width, the rest in its tooltip. Empty, it is
// hidden; no specified caption changes.
class RepeatIndicator : public QObject {
    Q_OBJECT

public:
    static inline const QString kStartCaption = QStringLiteral("Repeat Transmit\u2026");
    static inline const QString kStopCaption = QStringLiteral("Stop Repeat");

    explicit RepeatIndicator(Form1 &form);

private:
    void show();

    Form1 &m_form;
    QLabel *m_line;
};
