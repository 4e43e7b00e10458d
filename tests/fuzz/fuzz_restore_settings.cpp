// Arbitrary bytes as the settings file at start-up. The outcome is one of three: the
// saved port opened, the message "Select a Free Com Port", or silence with no port
// open; never a crash, a hang or another message.
#include "Require.h"
#include "support/PtyUnit.h"
#include "support/RecordingDesktop.h"
#include "ui/Form1.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>

namespace {

struct World {
    QTemporaryDir cwd;
    PtyUnit unit;
    RecordingDesktop desktop;
    std::unique_ptr<Form1> form;
};

World *world = nullptr;

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    new QApplication(*argc, *argv); // lives as long as the process
    world = new World;
    QDir::setCurrent(world->cwd.path());
    // Ports 1, 3 and 5 to 9 lead to the unit; 2 and 4 to no device.
    const QString device = world->unit.devicePath();
    world->form
        = std::make_unique<Form1>(world->desktop, PortDevices {[device](int port) {
                                      return port == 2 || port == 4 ? QStringLiteral("/nonexistent/ttyQX") : device;
                                  }});
    world->form->Timer1.stop();
    world->form->IniFile = QStringLiteral("orma-qx50-voice-mem.ini");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Form1 &form = *world->form;
    form.Comm1.setPortOpen(false);
    form.Comm1.setSettings(QStringLiteral("9600,n,8,1"));
    for (int index = 1; index <= 4; ++index)
        form.menuCom(index)->setChecked(false);
    form.menuCloseComPort->setEnabled(false);
    world->desktop.clear();

    {
        QFile file(form.IniFile);
        require(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(reinterpret_cast<const char *>(data), static_cast<qint64>(size));
    }
    form.RestoreComSettings();

    const QStringList events = world->desktop.events;
    if (form.Comm1.portOpen()) {
        require(events.isEmpty());
        require(form.menuCloseComPort->isEnabled());
        const int port = form.Comm1.commPort();
        for (int index = 1; index <= 4; ++index)
            require(form.menuCom(index)->isChecked() == (index == port));
    } else {
        require(events.isEmpty() || events == QStringList({"beep", "box: Select a Free Com Port"}));
        require(!form.menuCloseComPort->isEnabled());
        for (int index = 1; index <= 4; ++index)
            require(!form.menuCom(index)->isChecked());
    }
    require(QFile(form.IniFile).size() == static_cast<qint64>(size)); // read, never changed
    return 0;
}
