#pragma once

#include "RecordingDesktop.h"
#include "ui/Form1.h"

#include <QMap>
#include <memory>

// A main window wired to a recording desktop and to devices the test chooses:
// ports[n] is the device for COM n; ports not listed lead to a missing path.
struct FormFixture {
    RecordingDesktop desktop;
    QMap<int, QString> ports;
    std::unique_ptr<Form1> form;

    FormFixture()
        : form(std::make_unique<Form1>(desktop, [this](int port) {
              return ports.value(port, QStringLiteral("/nonexistent/ttyQX%1").arg(port));
          }))
    {
    }

    // Opens COM n directly on the component, as a port selection would.
    void openPort(int port)
    {
        form->Comm1.setCommPort(port);
        form->Comm1.setPortOpen(true);
    }
};
