#pragma once

#include "ContinueOnFailure.h"
#include "Line.h"
#include "OperatorBoxes.h"

#include <QString>

// The settings file: the chosen port and the line's settings remembered between runs,
// saved when a port is chosen, restored at start-up, deleted when the port is closed.
class SettingsMemory {
public:
    SettingsMemory(Line &line, OperatorBoxes &boxes);

    // The file's name: the executable's base name and ".ini", no directory.
    QString iniFile;

    // The record takes the file's place whole or not at all: a save that fails keeps
    // the previous file and says why.
    void save();
    // Opens the port the file names with its settings; a file or port refused is
    // told with a box. The failure that left the port closed, or empty.
    QString restore();
    void remove();

    // The Com port the file names, when its device is a network address; else 0.
    int savedNetworkPort() const;

private:
    Line &m_line;
    OperatorBoxes &m_boxes;
    ContinueOnFailure m_onError;
};
