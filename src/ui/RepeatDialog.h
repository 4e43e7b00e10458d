#pragma once

#include "panel/MessageRule.h"

#include <QDialog>

#include <array>
#include <optional>

class QCheckBox;
class QDoubleSpinBox;
class QSpinBox;

// "Repeat Transmit": the memory, the period from one transmission's start to the
// next and the number of transmissions, each held to the repeat's allowed range.
// For a memory of known length, a listening gap after each message's end can take
// the period's place. The dialog starts nothing itself: its owner reads the values
// after Start.
class RepeatDialog : public QDialog {
    Q_OBJECT

public:
    // lengthsMs: each memory's known length, 0 when not known.
    RepeatDialog(char memory, double seconds, QWidget *parent = nullptr,
                 const std::array<int, MessageRule::kSlots> &lengthsMs = {});

    char memory() const;
    double seconds() const;
    int count() const;
    std::optional<double> gap() const; // seconds, when the gap is chosen

private:
    QSpinBox *m_memory;
    QDoubleSpinBox *m_seconds;
    QSpinBox *m_count;
    QCheckBox *m_byGap;
    QDoubleSpinBox *m_gap;
    std::array<int, MessageRule::kSlots> m_lengthsMs;
    void offerGap();
};
