#pragma once

#include "serial/PortAssignments.h"

#include <QDialog>

#include <array>

class QComboBox;
class QLabel;

// "Port devices": one row per port, COM1 to COM4, each an editable list of the serial
// devices present now, the port's default device and whatever the operator types.
// Beside each row, what can be seen of that device without opening it. The port that
// is open cannot be changed here. The dialog itself saves nothing: its owner reads
// chosenDevice() after OK.
class PortDevicesDialog : public QDialog {
    Q_OBJECT

public:
    // openPort: the port open now (its row is read-only), 0 when none is.
    PortDevicesDialog(const PortAssignments &assignments, int openPort, QWidget *parent = nullptr);

    // The device chosen for the port, a bare name already made a path. A port whose
    // device QX50_COMn decides keeps the assignment it had.
    QString chosenDevice(int port) const;

protected:
    void showEvent(QShowEvent *event) override;

private:
    struct Row {
        QComboBox *device = nullptr;
        QLabel *state = nullptr;
        QString kept; // the assignment of a port that QX50_COMn decides
    };

    void fillDevices(int port, const QString &current);
    void showVariableDevice(int port, const QString &device);
    void showState(int port);
    // Wide enough for every row's state on one line where the screen allows, and
    // tall enough for the lines it wraps into.
    void fitToContent();

    std::array<Row, kComPortCount> m_rows {};
    int m_openPort = 0;
};
