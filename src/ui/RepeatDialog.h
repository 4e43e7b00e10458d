#pragma once

#include <QDialog>

class QDoubleSpinBox;
class QSpinBox;

// "Repeat Transmit": the memory, the period from one transmission's start to the
// next and the number of transmissions, each held to the repeat's allowed range.
// The dialog starts nothing itself: its owner reads the values after Start.
class RepeatDialog : public QDialog {
    Q_OBJECT

public:
    RepeatDialog(char memory, double seconds, QWidget *parent = nullptr);

    char memory() const;
    double seconds() const;
    int count() const;

private:
    QSpinBox *m_memory;
    QDoubleSpinBox *m_seconds;
    QSpinBox *m_count;
};
