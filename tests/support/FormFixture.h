#pragma once

#include "RecordingDesktop.h"
#include "ui/Form1.h"

#include <QDir>
#include <QFile>
#include <QMap>
#include <QTemporaryDir>
#include <memory>

// A fresh, empty current working directory for one test, given back afterwards.
class TemporaryWorkingDirectory {
public:
    TemporaryWorkingDirectory()
        : m_previous(QDir::currentPath())
    {
        QDir::setCurrent(m_dir.path());
    }
    ~TemporaryWorkingDirectory() { QDir::setCurrent(m_previous); }
    TemporaryWorkingDirectory(const TemporaryWorkingDirectory &) = delete;
    TemporaryWorkingDirectory &operator=(const TemporaryWorkingDirectory &) = delete;

    QString path() const { return m_dir.path(); }

private:
    QTemporaryDir m_dir;
    QString m_previous;
};

// A main window wired to a recording desktop, to devices the test chooses, and to a
// working directory of its own: ports[n] is the device for COM n; ports not listed
// lead to a missing path.
struct FormFixture {
    static constexpr auto kSettingsFile = "orma-qx50-voice-mem.ini";

    TemporaryWorkingDirectory cwd;
    RecordingDesktop desktop;
    QMap<int, QString> ports;
    std::unique_ptr<Form1> form;

    FormFixture() { restart(); }

    // A new window in place of the old one, as at the next run of the program.
    void restart()
    {
        form.reset();
        const PortLookup lookup
            = [this](int port) { return ports.value(port, QStringLiteral("/nonexistent/ttyQX%1").arg(port)); };
        form = std::make_unique<Form1>(desktop, PortDevices {lookup, cwd.path() + QStringLiteral("/ports.conf")});
        form->IniFile = QString::fromLatin1(kSettingsFile);
        // A lost line is told with a box and the port left closed, unless a test
        // turns reopening on (the window's own default) to try it.
        form->Comm1.setReopenLostPort(false);
        form->menuReopenLostPort->setChecked(false);
    }

    // Opens COM n directly on the component, as a port selection would.
    void openPort(int port)
    {
        form->Comm1.setCommPort(port);
        try {
            form->Comm1.setPortOpen(true);
        } catch (const std::exception &e) {
            qWarning("opening COM%d failed: %s", port, e.what());
            throw;
        }
    }

    static void writeSettingsFile(const QByteArray &bytes)
    {
        QFile file(QString::fromLatin1(kSettingsFile));
        if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            file.write(bytes);
    }
    static bool settingsFilePresent() { return QFile::exists(QString::fromLatin1(kSettingsFile)); }
    static QByteArray settingsFileBytes()
    {
        QFile file(QString::fromLatin1(kSettingsFile));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }

    QList<int> checkedComItems() const
    {
        QList<int> checked;
        for (int index = 1; index <= 4; ++index)
            if (form->menuCom(index)->isChecked())
                checked << index;
        return checked;
    }
};
