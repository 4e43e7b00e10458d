#pragma once

#include "Desktop.h"

#include <QObject>
#include <QString>

#include <functional>

// The boxes the panel shows the operator. A box holds up the procedure that raised it
// until it is closed; meanwhile a caller outside the window is refused, and hears what
// the box says.
class OperatorBoxes : public QObject {
    Q_OBJECT

public:
    // What a caller outside the window hears while the operator has a box to close.
    static inline const QString kBusyWords = QStringLiteral("The panel is showing a message; close it first.");

    explicit OperatorBoxes(Desktop &desktop, QObject *parent = nullptr);

    Desktop &desktop() { return m_desktop; }

    // A plain box with the prompt and, when given, the detail under it; a beep first
    // unless told otherwise.
    void tell(const char *prompt, const QString &detail, bool beep = true);

    // Whether the operator has a box or dialog to close first; the window tells how
    // to know (with no window there is never one).
    void setWaitingForOperator(std::function<bool()> check) { m_waitingForOperator = std::move(check); }
    bool waitingForOperator() const { return m_waitingForOperator && m_waitingForOperator(); }
    QString busyWords() const;

signals:
    // A box is about to wait for the operator.
    void tellingOperator();
    // The box is one that beeps: something the operator asked for was refused.
    void refusedWithBeep();

private:
    Desktop &m_desktop;
    std::function<bool()> m_waitingForOperator;
    QString m_told; // what the box that waits for the operator says
};
