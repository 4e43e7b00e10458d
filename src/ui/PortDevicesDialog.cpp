#include "PortDevicesDialog.h"

#include "Accessibility.h"

#include "serial/DeviceProbe.h"
#include "serial/PortDevices.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QCoreApplication>
#include <QEvent>
#include <QFocusEvent>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QSerialPortInfo>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// A stable name for a USB device: its link under /dev/serial/by-id, which keeps
// naming the same adapter whichever ttyUSB number it gets.
QString stablePathOf(const QString &device)
{
    const QString real = QFileInfo(device).canonicalFilePath();
    const QDir byId(QStringLiteral("/dev/serial/by-id"));
    for (const QFileInfo &link : byId.entryInfoList(QDir::System | QDir::Files | QDir::NoDotAndDotDot))
        if (!real.isEmpty() && link.canonicalFilePath() == real)
            return link.absoluteFilePath();
    return device;
}

QString describe(const QSerialPortInfo &port)
{
    QStringList parts;
    if (!port.description().isEmpty())
        parts << port.description();
    if (!port.manufacturer().isEmpty())
        parts << port.manufacturer();
    if (!port.serialNumber().isEmpty())
        parts << QStringLiteral("serial %1").arg(port.serialNumber());
    return parts.join(QStringLiteral(", "));
}

// Entering a row leaves its text unselected, as it was: a selection made on entry
// is undone on leaving, and a screen reader says "Text unselected." on every row.
class NoSelectionOnEntry : public QObject {
public:
    using QObject::QObject;

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::FocusIn)
            return false;
        const auto reason = static_cast<QFocusEvent *>(event)->reason();
        if (reason != Qt::TabFocusReason && reason != Qt::BacktabFocusReason && reason != Qt::ShortcutFocusReason)
            return false;
        QFocusEvent plain(QEvent::FocusIn, Qt::OtherFocusReason); // the same entry, without the select-all
        QCoreApplication::sendEvent(watched, &plain);
        return true;
    }
};

} // namespace

PortDevicesDialog::PortDevicesDialog(const PortAssignments &assignments, int openPort, QWidget *parent)
    : QDialog(parent)
    , m_openPort(openPort)
{
    setObjectName(QStringLiteral("PortDevicesDialog"));
    setWindowTitle(QStringLiteral("Port devices"));
    setModal(true);

    auto *intro = new QLabel(QStringLiteral("Choose or type the device each port uses. Nothing is opened here; "
                                            "a port's device is tried when the port is chosen from the Com menu."),
                             this);
    intro->setWordWrap(true);
    intro->setAccessibleName(QStringLiteral("Choose each port's device. Nothing is opened here."));
    auto *noSelection = new NoSelectionOnEntry(this);

    auto *grid = new QGridLayout;
    for (int port = kFirstComPort; port <= kLastComPort; ++port) {
        Row &row = m_rows[static_cast<size_t>(port - kFirstComPort)];
        auto *name = new QLabel(QStringLiteral("COM&%1").arg(port), this);
        row.device = new QComboBox(this);
        row.device->setObjectName(QStringLiteral("COM%1 device").arg(port));
        row.device->setAccessibleName(QStringLiteral("COM%1 device").arg(port));
        row.device->setEditable(true);
        row.device->installEventFilter(noSelection);
        row.device->setInsertPolicy(QComboBox::NoInsert);
        row.device->setMinimumContentsLength(28);
        row.device->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
        name->setBuddy(row.device);
        row.state = new QLabel(this);
        row.state->setObjectName(QStringLiteral("COM%1 state").arg(port));
        row.state->setTextFormat(Qt::PlainText); // device and program names come from outside
        markSpokenElsewhere(row.state); // it is the row's description
        row.state->setTextInteractionFlags(Qt::TextSelectableByMouse);
        row.state->setWordWrap(true);

        const QString assigned = assignments.device(port);
        if (const QString variable = portVariable(port); !variable.trimmed().isEmpty()) {
            row.kept = assigned;
            showVariableDevice(port, deviceFromName(variable));
        } else {
            fillDevices(port, assigned.isEmpty() ? PortAssignments::defaultDevice(port) : deviceFromName(assigned));
        }
        // A chosen entry shows the device it stands for, the text that is kept.
        connect(row.device, &QComboBox::currentIndexChanged, this, [this, port](int index) {
            QComboBox *box = m_rows[static_cast<size_t>(port - kFirstComPort)].device;
            if (index >= 0)
                box->setEditText(box->itemData(index).toString());
        });
        connect(row.device, &QComboBox::editTextChanged, this, [this, port] {
            showState(port);
            fitToContent();
        });
        if (port == m_openPort)
            row.device->setEnabled(false);
        showState(port);

        grid->addWidget(name, port - kFirstComPort, 0);
        grid->addWidget(row.device, port - kFirstComPort, 1);
        grid->addWidget(row.state, port - kFirstComPort, 2);
    }
    grid->setColumnStretch(2, 1);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(intro);
    layout->addLayout(grid);
    layout->addWidget(buttons);

    QWidget *first = m_rows[0].device->isEnabled() ? m_rows[0].device : m_rows[1].device;
    first->setFocus();
    fitToContent();
}

// The variable decides: the row shows that device alone and cannot be edited.
void PortDevicesDialog::showVariableDevice(int port, const QString &device)
{
    QComboBox *box = m_rows[static_cast<size_t>(port - kFirstComPort)].device;
    box->setEditable(false);
    box->addItem(QStringLiteral("%1 \u2014 %2").arg(device, portVariableName(port)), device);
    box->setCurrentIndex(0);
}

void PortDevicesDialog::fitToContent()
{
    const QScreen *screen = parentWidget() ? parentWidget()->screen() : this->screen();
    const QSize room = screen ? screen->availableGeometry().size() : QSize(1024, 768);
    int besides = 0; // what a row needs beside its state: the port's name and the device list
    if (auto *grid = findChild<QGridLayout *>()) {
        for (int column = 0; column < 2; ++column) {
            int widest = 0;
            for (int line = 0; line < grid->rowCount(); ++line)
                if (QLayoutItem *item = grid->itemAtPosition(line, column))
                    widest = std::max(widest, item->sizeHint().width());
            besides += widest + grid->horizontalSpacing();
        }
    }
    const QMargins margins = layout()->contentsMargins();
    const QSize frame = (frameGeometry().size() - geometry().size()).expandedTo(QSize(0, 0));
    const QSize inside = room - frame;
    const int widest = std::max(160, inside.width() - besides - margins.left() - margins.right());
    for (const Row &row : m_rows) {
        constexpr int kLabelSlack = 4; // the label's own frame and rounding
        const int oneLine
            = row.state->fontMetrics().horizontalAdvance(row.state->text()) + 2 * row.state->margin() + kLabelSlack;
        const int width = std::min(oneLine, widest);
        row.state->setMinimumWidth(width);
        row.state->setMinimumHeight(row.state->heightForWidth(width));
    }
    layout()->activate();
    const QSize wanted = sizeHint().expandedTo(size());
    resize(wanted.boundedTo(inside));
}

// Only a shown window knows the frame the desktop draws around it.
void PortDevicesDialog::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    fitToContent();
}

void PortDevicesDialog::fillDevices(int port, const QString &current)
{
    QComboBox *box = m_rows[static_cast<size_t>(port - kFirstComPort)].device;
    const auto add = [box](const QString &device, const QString &label) {
        if (box->findData(device) < 0)
            box->addItem(label.isEmpty() ? device : QStringLiteral("%1 \u2014 %2").arg(device, label), device);
    };
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts())
        add(stablePathOf(info.systemLocation()), describe(info));
    add(PortAssignments::defaultDevice(port), QStringLiteral("default"));
    add(current, QString());
    box->setCurrentIndex(box->findData(current));
    box->setEditText(current);
}

void PortDevicesDialog::showState(int port)
{
    const Row &row = m_rows[static_cast<size_t>(port - kFirstComPort)];
    const QString variable = portVariable(port);
    const bool decidedByVariable = !variable.trimmed().isEmpty();
    QString state;
    if (port == m_openPort) {
        state = QStringLiteral("COM%1 is open: close the port first to change its device.").arg(port);
    } else {
        const QString device = decidedByVariable ? deviceFromName(variable) : chosenDevice(port);
        state = device.isEmpty() ? QStringLiteral("no device: the default is used") : probeDevice(device).summary;
    }
    // The open port's row too: the variable, not this dialog, chose its device.
    if (decidedByVariable)
        state += QStringLiteral("%1 %2 is set, so COM%3 uses %4; unset it to choose the device here.")
                     .arg(state.endsWith(QLatin1Char('.')) ? QString() : QStringLiteral("."))
                     .arg(portVariableName(port))
                     .arg(port)
                     .arg(deviceFromName(variable));
    row.state->setText(state);
    row.device->setAccessibleDescription(state);
}

QString PortDevicesDialog::chosenDevice(int port) const
{
    if (port < kFirstComPort || port > kLastComPort)
        return {};
    const Row &row = m_rows[static_cast<size_t>(port - kFirstComPort)];
    if (!row.device->isEditable())
        return row.kept;
    return deviceFromName(row.device->currentText());
}
