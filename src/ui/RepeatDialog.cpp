#include "RepeatDialog.h"

#include "Form1.h"
#include "panel/RepeatTransmit.h"

#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>

RepeatDialog::RepeatDialog(char memory, double seconds, QWidget *parent)
    : QDialog(parent)
    , m_memory(new QSpinBox(this))
    , m_seconds(new QDoubleSpinBox(this))
    , m_count(new QSpinBox(this))
{
    setObjectName(QStringLiteral("RepeatDialog"));
    setWindowTitle(QStringLiteral("Repeat Transmit"));
    setModal(true);

    m_memory->setObjectName(QStringLiteral("memory"));
    m_memory->setRange(0, 9);
    m_memory->setValue(memory - '0');
    m_seconds->setObjectName(QStringLiteral("seconds"));
    m_seconds->setDecimals(1);
    m_seconds->setRange(RepeatRule::kMinSeconds, RepeatRule::kMaxSeconds);
    m_seconds->setSuffix(QStringLiteral(" s"));
    m_seconds->setValue(seconds);
    m_count->setObjectName(QStringLiteral("count"));
    m_count->setRange(RepeatRule::kMinCount, RepeatRule::kMaxCount);
    m_count->setValue(RepeatRule::kDefaultCount);

    auto *form = new QFormLayout(this);
    form->addRow(QStringLiteral("&Memory:"), m_memory);
    form->addRow(QStringLiteral("&Period, start to start:"), m_seconds);
    form->addRow(QStringLiteral("&Transmissions:"), m_count);
    auto *hint = new QLabel(QStringLiteral("Leave the message's length plus the time you listen for answers.\n"
                                           "Any key or click in the window stops the repeat."),
                            this);
    hint->setWordWrap(true);
    form->addRow(hint);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Cancel, this);
    QPushButton *start = buttons->addButton(QStringLiteral("&Start"), QDialogButtonBox::AcceptRole);
    start->setObjectName(QStringLiteral("start"));
    start->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    form->addRow(buttons);
}

char RepeatDialog::memory() const
{
    return static_cast<char>('0' + m_memory->value());
}
double RepeatDialog::seconds() const
{
    return m_seconds->value();
}
int RepeatDialog::count() const
{
    return m_count->value();
}

// Stops the repeat that runs, or asks for a new one. The port is tested once the
// operator has pressed Start, as a click on a button tests it.
void Form1::menuRepeatTransmit_Click()
{
    if (repeat->repeating()) {
        repeat->stop(RepeatTransmit::Stop::Operator);
        return;
    }
    RepeatDialog dialog(repeat->memory(), repeat->seconds(), this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    const auto started = repeat->start(dialog.memory(), dialog.seconds(), dialog.count());
    if (started.refused == RepeatTransmit::Refused::PortNotOpen)
        m_model.warnPortNotOpen();
}
