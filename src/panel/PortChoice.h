#pragma once

#include "ContinueOnFailure.h"
#include "Line.h"
#include "OperatorBoxes.h"
#include "SettingsMemory.h"

#include <QList>
#include <QObject>

// Which port is open and what each Com port offers: the start-up scan, choosing a
// port, closing it, and trying ports again whose device may have come.
class PortChoice : public QObject {
    Q_OBJECT

public:
    PortChoice(Line &line, SettingsMemory &memory, OperatorBoxes &boxes, QObject *parent = nullptr);

    // Probes COM1 to COM4 on the line's own component and greys the items that fail;
    // `leftToRestore`, a saved network port, is opened by the restore alone (probing it
    // first would connect twice, and a server may take one connection at a time).
    void scanComPorts(int leftToRestore = 0);
    // One port's step of the scan.
    void scanComPort(int port);
    void selectComPort(int port);
    void closeComPort();
    // Tries these ports again on a component of their own, as the scan does, leaving
    // the open port, the settings file and the unit alone.
    void retryPorts(const QList<int> &ports);

signals:
    // A chosen port is open: the unit is told before the choice is saved.
    void opened(int port);
    // The operator closed the port.
    void closed();

private:
    // Sets the port's usability from a probe's failure (pending in m_onError) and clears it.
    void takeProbe(int port);

    Line &m_line;
    SettingsMemory &m_memory;
    OperatorBoxes &m_boxes;
    ContinueOnFailure m_onError;
};
