#include "RepeatDialog.h"

#include "Form1.h"
#include "panel/RepeatTransmit.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>

RepeatDialog::RepeatDialog(char memory, double seconds, QWidget *parent,
                           const std::array<int, MessageRule::kSlots> &lengthsMs)
    : QDialog(parent)
    , m_memory(new QSpinBox(this))
    , m_seconds(new QDoubleSpinBox(this))
    , m_count(new QSpinBox(this))
    , m_byGap(new QCheckBox(QStringLiteral("Space by a &gap after each message"), this))
    , m_gap(new QDoubleSpinBox(this))
    , m_lengthsMs(lengthsMs)
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
    m_byGap->setObjectName(QStringLiteral("byGap"));
    m_gap->setObjectName(QStringLiteral("gap"));
    m_gap->setDecimals(1);
    m_gap->setRange(RepeatRule::kMinGapSeconds, RepeatRule::kMaxGapSeconds);
    m_gap->setSuffix(QStringLiteral(" s"));
    m_gap->setValue(4);
    form->addRow(m_byGap);
    form->addRow(QStringLiteral("Gap &after the message:"), m_gap);
    connect(m_memory, &QSpinBox::valueChanged, this, &RepeatDialog::offerGap);
    connect(m_byGap, &QCheckBox::toggled, this, &RepeatDialog::offerGap);
    offerGap();
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
std::optional<double> RepeatDialog::gap() const
{
    if (!m_byGap->isEnabled() || !m_byGap->isChecked())
        return std::nullopt;
    return m_gap->value();
}

// The gap is offered for a memory whose length is known, and then takes the period's place.
void RepeatDialog::offerGap()
{
    const int lengthMs = m_lengthsMs[static_cast<size_t>(m_memory->value())];
    m_byGap->setEnabled(lengthMs > 0);
    m_byGap->setAccessibleDescription(
        lengthMs > 0 ? QStringLiteral("The message is %1 seconds long").arg(lengthMs / 1000.0, 0, 'f', 1)
                     : QStringLiteral("Memory %1 has no known length").arg(m_memory->value()));
    const bool byGap = gap().has_value();
    m_gap->setEnabled(byGap);
    m_seconds->setEnabled(!byGap);
}

// Stops the repeat that runs, or asks for a new one. The port is tested once the
// operator has pressed Start, as a click on a button tests it.
void Form1::menuRepeatTransmit_Click()
{
    if (repeat->repeating()) {
        repeat->stop(RepeatTransmit::Stop::Operator);
        return;
    }
    std::array<int, MessageRule::kSlots> lengthsMs {};
    for (int memory = 0; memory < MessageRule::kSlots; ++memory)
        lengthsMs[static_cast<size_t>(memory)] = m_model.messages().lengthMs(memory);
    RepeatDialog dialog(repeat->memory(), repeat->seconds(), this, lengthsMs);
    if (dialog.exec() != QDialog::Accepted)
        return;
    const auto started = dialog.gap() ? repeat->startWithGap(dialog.memory(), *dialog.gap(), dialog.count())
                                      : repeat->start(dialog.memory(), dialog.seconds(), dialog.count());
    if (started.refused == RepeatTransmit::Refused::PortNotOpen)
        m_model.warnPortNotOpen();
}
