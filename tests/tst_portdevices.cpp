// Which device each port uses (QX50_COMn, then ports.conf, then /dev/ttyS(n-1)), and
// the "Port devices" dialog that assigns them, driven by keys alone.
#include "serial/BrailleClaim.h"
#include "serial/PortAssignments.h"
#include "support/LauncherStart.h"
#include "support/PtyUnit.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QScopeGuard>
#include <QTest>
#include <QTemporaryDir>
#include <QTextDocument>

namespace {

QComboBox *deviceBox(QDialog *dialog, int port)
{
    return dialog->findChild<QComboBox *>(QStringLiteral("COM%1 device").arg(port));
}

QString stateOf(QDialog *dialog, int port)
{
    const auto *state = dialog->findChild<QLabel *>(QStringLiteral("COM%1 state").arg(port));
    return state ? state->text() : QStringLiteral("<no state>");
}

// The row's state as the operator reads it, markup drawn as the label draws it.
QString stateShown(QDialog *dialog, int port)
{
    const auto *state = dialog->findChild<QLabel *>(QStringLiteral("COM%1 state").arg(port));
    if (!state)
        return QStringLiteral("<no state>");
    const Qt::TextFormat format = state->textFormat();
    if (format == Qt::PlainText || (format == Qt::AutoText && !Qt::mightBeRichText(state->text())))
        return state->text();
    QTextDocument document;
    document.setHtml(state->text());
    return document.toPlainText();
}

// Replaces what the focused row's box holds with a typed device, as the operator would.
void typeDevice(const QString &device)
{
    QWidget *box = QApplication::focusWidget();
    QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(box, device);
}

// A sysfs and /proc of the test's own: one USB device with one interface.
struct FakeSystem {
    QTemporaryDir root;
    QString sys() const { return root.filePath(QStringLiteral("sys")); }
    QString proc() const { return root.filePath(QStringLiteral("proc")); }

    static void write(const QString &path, const QByteArray &text)
    {
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile file(path);
        if (file.open(QIODevice::WriteOnly))
            file.write(text);
    }
    void addUsbDevice(const QByteArray &vendor, const QByteArray &product, const QString &driver, bool withTty) const
    {
        const QString devices = sys() + QStringLiteral("/bus/usb/devices/");
        write(devices + QStringLiteral("1-2/idVendor"), vendor + "\n");
        write(devices + QStringLiteral("1-2/idProduct"), product + "\n");
        const QString interface = devices + QStringLiteral("1-2:1.0");
        QDir().mkpath(interface);
        if (!driver.isEmpty()) {
            const QString target = sys() + QStringLiteral("/bus/usb/drivers/") + driver;
            QDir().mkpath(target);
            QFile::link(target, interface + QStringLiteral("/driver"));
        }
        if (withTty)
            QDir().mkpath(interface + QStringLiteral("/ttyUSB0"));
    }
    void addProcess(int pid, const QByteArray &name) const
    {
        write(proc() + QStringLiteral("/%1/comm").arg(pid), name + "\n");
    }
};

} // namespace

class PortDevicesTest : public QObject {
    Q_OBJECT

private slots:
    void whichDeviceAPortUses_data()
    {
        QTest::addColumn<QString>("variable");
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("device");
        const QByteArray assigned("[ports]\nCOM1=/dev/ttyUSB3\n");
        QTest::addRow("nothing set") << "" << QByteArray() << "/dev/ttyS0";
        QTest::addRow("assigned") << "" << assigned << "/dev/ttyUSB3";
        QTest::addRow("variable over file") << "/dev/ttyACM0" << assigned << "/dev/ttyACM0";
        QTest::addRow("blank variable") << "  " << assigned << "/dev/ttyUSB3";
        QTest::addRow("bare name in variable") << "ttyUSB0" << QByteArray() << "/dev/ttyUSB0";
        QTest::addRow("bare name in file") << "" << QByteArray("[ports]\nCOM1=pts/7\n") << "/dev/pts/7";
        QTest::addRow("network address kept") << "rfc2217://radio:4001" << QByteArray() << "rfc2217://radio:4001";
        QTest::addRow("empty value") << "" << QByteArray("[ports]\nCOM1=\n") << "/dev/ttyS0";
        QTest::addRow("list value") << "" << QByteArray("[ports]\nCOM1=/dev/a,/dev/b\n") << "/dev/ttyS0";
        QTest::addRow("other keys only") << "" << QByteArray("[ports]\nCOM9=/dev/x\n[other]\nCOM1=/dev/y\n")
                                         << "/dev/ttyS0";
        QTest::addRow("malformed file") << "" << QByteArray("\x01\x02[ports\nCOM1=/dev/ttyUSB3\n\xff\xfe=\n")
                                        << "/dev/ttyS0";
        QTest::addRow("folder in its place") << "" << QByteArray("FOLDER") << "/dev/ttyS0";
    }
    void whichDeviceAPortUses()
    {
        QFETCH(QString, variable);
        QFETCH(QByteArray, file);
        QFETCH(QString, device);
        LauncherStart start;
        if (file == "FOLDER")
            QDir().mkpath(start.portsFile());
        else if (!file.isEmpty())
            start.writePortsFile(file);
        if (!variable.isEmpty())
            qputenv("QX50_COM1", variable.toLocal8Bit());
        QCOMPARE(start.portDevices().lookup(1), device);
        QCOMPARE(start.portDevices().lookup(2), QStringLiteral("/dev/ttyS1"));
        qunsetenv("QX50_COM1");
    }

    void aFileThatCannotBeWrittenBackIsKeptAside()
    {
        LauncherStart start;
        const QByteArray bad("\x01[ports\nCOM1=/dev/ttyUSB3\n\xff=\n");
        start.writePortsFile(bad);
        PortAssignments over(start.portsFile());
        over.setDevice(3, QStringLiteral("/dev/ttyACM0"));
        QString why;
        QVERIFY2(over.save(&why), qPrintable(why));
        QFile kept(start.portsFile() + QStringLiteral(".bad"));
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QCOMPARE(kept.readAll(), bad);
        QCOMPARE(PortAssignments(start.portsFile()).device(3), QStringLiteral("/dev/ttyACM0"));
    }

    void assigningAPortWithKeysEnablesItsItem()
    {
        LauncherStart start;
        PtyUnit unit;
        start.writePortsFile("[ports]\nCOM2=/nonexistent/qx50\n");
        start.start();
        QVERIFY(!start.form->menuCom(2)->isEnabled());
        const QByteArray portsBefore = start.portsFileBytes();

        bool shown = false;
        QString stateWhileTyped;
        whenDialogShows(
            [&](QDialog *dialog) {
                QCOMPARE(dialog->windowTitle(), QStringLiteral("Port devices"));
                QCOMPARE(deviceBox(dialog, 2)->currentText(), QStringLiteral("/nonexistent/qx50"));
                QCOMPARE(stateOf(dialog, 2), QStringLiteral("not present"));
                QCOMPARE(QApplication::focusWidget(), deviceBox(dialog, 1));
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
                QCOMPARE(QApplication::focusWidget(), deviceBox(dialog, 2));
                typeDevice(unit.devicePath());
                stateWhileTyped = stateOf(dialog, 2);
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
            },
            &shown);
        start.form->menuPortDevices->trigger();
        QVERIFY(shown);

        QCOMPARE(stateWhileTyped, QStringLiteral("present, free"));
        QVERIFY(start.form->menuCom(2)->isEnabled());
        QCOMPARE(PortAssignments(start.portsFile()).device(2), unit.devicePath());
        QVERIFY(start.portsFileBytes() != portsBefore);
        QVERIFY2(!start.portsFileBytes().contains("COM1"), start.portsFileBytes().constData()); // default rows
        // Probed only: nothing sent, nothing said, no settings file, no port open.
        QCOMPARE(unit.received(), QByteArray());
        QCOMPARE(start.desktop.events, QStringList());
        QVERIFY(!FormFixture::settingsFilePresent());
        QVERIFY(!start.form->Comm1.portOpen());

        start.form->menuCom(2)->trigger();
        QCOMPARE(unit.received(1), QByteArray("P"));
    }

    void theOpenPortStaysAndCancelSavesNothing()
    {
        LauncherStart start;
        PtyUnit com1;
        PtyUnit com3;
        start.writePortsFile("[ports]\nCOM1=" + com1.devicePath().toLocal8Bit() + "\n");
        start.start();
        start.form->menuCom(1)->trigger();
        QCOMPARE(com1.received(1), QByteArray("P"));
        const QByteArray portsBefore = start.portsFileBytes();

        // Escape after changing a row: nothing is saved, nothing probed.
        bool shown = false;
        whenDialogShows(
            [&](QDialog *dialog) {
                QVERIFY(!deviceBox(dialog, 1)->isEnabled());
                QVERIFY(stateOf(dialog, 1).contains(QLatin1String("close the port first")));
                QCOMPARE(QApplication::focusWidget(), deviceBox(dialog, 2)); // the open row is passed by
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
                typeDevice(com3.devicePath());
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
            },
            &shown);
        start.form->menuPortDevices->trigger();
        QVERIFY(shown);
        QCOMPARE(start.portsFileBytes(), portsBefore);
        QVERIFY(!start.form->menuCom(3)->isEnabled());

        // Again, with OK: COM3 is assigned and probed beside the open COM1.
        whenDialogShows(
            [&](QDialog *dialog) {
                deviceBox(dialog, 3)->setFocus();
                typeDevice(com3.devicePath());
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
            },
            &shown);
        start.form->menuPortDevices->trigger();
        QVERIFY(shown);
        QVERIFY(start.form->menuCom(3)->isEnabled());
        QVERIFY(start.form->Comm1.portOpen());
        QCOMPARE(start.form->Comm1.commPort(), 1);
        QVERIFY(start.form->menuCom(1)->isChecked() && !start.form->menuCom(3)->isChecked());
        QCOMPARE(PortAssignments(start.portsFile()).device(1), com1.devicePath());
        QCOMPARE(com1.received() + com3.received(), QByteArray());
        QCOMPARE(FormFixture::settingsFileBytes(), QByteArray("COM1:9600,N,8,1"));
    }

    // The open port's row shows the file's device; the variable decides, and it says so.
    void theOpenRowNamesTheVariableThatOverridesIt()
    {
        LauncherStart start;
        PtyUnit com1;
        qputenv("QX50_COM1", com1.devicePath().toLocal8Bit());
        const auto unset = qScopeGuard([] { qunsetenv("QX50_COM1"); });
        start.start();
        start.form->menuCom(1)->trigger();
        QCOMPARE(com1.received(1), QByteArray("P"));
        bool shown = false;
        whenDialogShows(
            [&](QDialog *dialog) {
                const QString state = stateOf(dialog, 1);
                QVERIFY2(state.contains(QLatin1String("QX50_COM1 is set, so COM1 uses ") + com1.devicePath()),
                         qPrintable(state));
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
            },
            &shown);
        start.form->menuPortDevices->trigger();
        QVERIFY(shown);
    }

    // A device name from outside the program is shown as it was written, never as markup.
    void aRowShowsOutsideTextAsItIs()
    {
        LauncherStart start;
        const QString device = QStringLiteral("/dev/<i>qx50</i>&amp;<br>x");
        qputenv("QX50_COM2", device.toLocal8Bit());
        const auto unset = qScopeGuard([] { qunsetenv("QX50_COM2"); });
        start.start();
        bool shown = false;
        whenDialogShows(
            [&](QDialog *dialog) {
                const QString state = stateShown(dialog, 2);
                QVERIFY2(state.contains(QLatin1String("QX50_COM2 is set, so COM2 uses ") + device + u';'),
                         qPrintable(state));
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
            },
            &shown);
        start.form->menuPortDevices->trigger();
        QVERIFY(shown);
    }

    // A ports.conf that is a link (into a folder of dotfiles) stays one: its target is
    // rewritten in one step, beside itself, and keeps its mode.
    void savingThroughALinkRewritesItsTarget()
    {
        LauncherStart start;
        QTemporaryDir dotfiles;
        const QString target = dotfiles.filePath(QStringLiteral("ports.conf"));
        QFile file(target);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("[ports]\nCOM1=/dev/ttyUSB3\n");
        file.close();
        const auto mode = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther | QFile::ReadUser
            | QFile::WriteUser;
        QVERIFY(QFile::setPermissions(target, mode));
        QVERIFY(QDir().mkpath(QFileInfo(start.portsFile()).absolutePath()));
        QVERIFY(QFile::link(target, start.portsFile()));

        PortAssignments over(start.portsFile());
        over.setDevice(3, QStringLiteral("/dev/ttyACM0"));
        QString why;
        QVERIFY2(over.save(&why), qPrintable(why));

        QVERIFY(QFileInfo(start.portsFile()).isSymLink());
        QCOMPARE(QFileInfo(start.portsFile()).symLinkTarget(), target);
        const PortAssignments written(target);
        QCOMPARE(written.device(1), QStringLiteral("/dev/ttyUSB3"));
        QCOMPARE(written.device(3), QStringLiteral("/dev/ttyACM0"));
        QCOMPARE(QFile::permissions(target), mode);
        QCOMPARE(QDir(dotfiles.path()).entryList(QDir::Files), QStringList {"ports.conf"});
        QCOMPARE(QDir(QFileInfo(start.portsFile()).absolutePath()).entryList(QDir::Files | QDir::System),
                 QStringList {"ports.conf"});
    }

    // OK tries every greyed port again, changed or not: an adapter plugged in since
    // brings its item back, and a port still failing gets its reason told afresh.
    void okTriesGreyedPortsAgain()
    {
        LauncherStart start;
        PtyUnit unit;
        const QString adapter = start.config.filePath(QStringLiteral("adapter"));
        const QString notYet = start.config.filePath(QStringLiteral("not-yet"));
        start.writePortsFile("[ports]\nCOM2=" + adapter.toLocal8Bit() + "\nCOM3=" + notYet.toLocal8Bit() + "\n");
        start.start();
        QVERIFY(!start.form->menuCom(2)->isEnabled());
        QVERIFY(start.form->menuCom(2)->toolTip().contains(QLatin1String("no such device")));
        QVERIFY(!start.form->menuCom(3)->isEnabled());
        const QByteArray portsBefore = start.portsFileBytes();

        QVERIFY(QFile::link(unit.devicePath(), adapter)); // plugged in
        QFile notSerial(notYet); // something there now, but no serial device
        QVERIFY(notSerial.open(QIODevice::WriteOnly));
        notSerial.close();

        bool shown = false;
        QString stateShown;
        whenDialogShows(
            [&](QDialog *dialog) {
                stateShown = stateOf(dialog, 2);
                dialog->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok)->click();
            },
            &shown);
        start.form->menuPortDevices->trigger();
        QVERIFY(shown);
        QCOMPARE(stateShown, QStringLiteral("present, free"));
        QVERIFY2(start.form->menuCom(2)->isEnabled(), qPrintable(start.form->menuCom(2)->toolTip()));
        QVERIFY(!start.form->menuCom(2)->toolTip().contains(QLatin1String("no such device")));
        QVERIFY(!start.form->menuCom(3)->isEnabled());
        QVERIFY2(start.form->menuCom(3)->toolTip().contains(QLatin1String("not a serial device")),
                 qPrintable(start.form->menuCom(3)->toolTip()));
        QCOMPARE(start.portsFileBytes(), portsBefore); // nothing changed, nothing written
        QCOMPARE(unit.received(), QByteArray());
        QCOMPARE(start.desktop.events, QStringList());
        QVERIFY(!start.form->Comm1.portOpen());

        start.form->menuCom(2)->trigger();
        QCOMPARE(unit.received(1), QByteArray("P"));
    }

    // Every row's state shows whole: on one line where the screen has room, wrapped
    // and given the lines it needs where it has not; the dialog stays on the screen.
    void theDialogShowsEveryStateWhole()
    {
        LauncherStart start;
        PtyUnit free;
        const QByteArray deep = "/nonexistent/" + QByteArray(30, 'd') + "/" + QByteArray(30, 'e') + "/ttyUSB9";
        start.writePortsFile("[ports]\nCOM2=" + free.devicePath().toLocal8Bit() + "\nCOM3=" + deep + "\n");
        qputenv("QX50_COM4", "/nonexistent/" + QByteArray(60, 'v'));
        const auto unset = qScopeGuard([] { qunsetenv("QX50_COM4"); });
        start.start();

        bool shown = false;
        whenDialogShows(
            [&](QDialog *dialog) {
                const QSize room = dialog->screen()->availableGeometry().size();
                QVERIFY2(dialog->frameGeometry().width() <= room.width(),
                         qPrintable(QStringLiteral("%1 on %2").arg(dialog->frameGeometry().width()).arg(room.width())));
                QVERIFY(dialog->frameGeometry().height() <= room.height());
                for (int port = 1; port <= 4; ++port) {
                    const auto *state = dialog->findChild<QLabel *>(QStringLiteral("COM%1 state").arg(port));
                    const QString text = state->text();
                    QVERIFY2(state->height() >= state->heightForWidth(state->width()), qPrintable(text));
                    const int oneLine = state->fontMetrics().horizontalAdvance(text);
                    if (oneLine < room.width() / 3)
                        QVERIFY2(state->width() >= oneLine, qPrintable(text));
                    QVERIFY2(state->geometry().right() < dialog->width(), qPrintable(text));
                }
                QCOMPARE(stateOf(dialog, 2), QStringLiteral("present, free"));
                // Typing a longer path grows the row rather than cutting it.
                deviceBox(dialog, 3)->setFocus();
                typeDevice(QString::fromLatin1(deep) + QStringLiteral("/more/and/more/of/it"));
                const auto *state3 = dialog->findChild<QLabel *>(QStringLiteral("COM3 state"));
                QVERIFY(state3->minimumHeight() >= state3->heightForWidth(state3->minimumWidth()));
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
            },
            &shown);
        start.form->menuPortDevices->trigger();
        QVERIFY(shown);
    }

    // Where QX50_COMn decides, the row shows that device, cannot be edited, says why,
    // and OK keeps the port's entry in ports.conf as it was.
    void aVariableShowsItsDeviceReadOnly()
    {
        LauncherStart start;
        PtyUnit unit;
        start.writePortsFile("[ports]\nCOM2=/dev/ttyUSB7\n");
        qputenv("QX50_COM2", unit.devicePath().toLocal8Bit());
        const auto unset = qScopeGuard([] { qunsetenv("QX50_COM2"); });
        start.start();
        QVERIFY(start.form->menuCom(2)->isEnabled());

        bool shown = false;
        whenDialogShows(
            [&](QDialog *dialog) {
                QComboBox *box = deviceBox(dialog, 2);
                QVERIFY(!box->isEditable());
                QCOMPARE(box->count(), 1);
                QVERIFY2(box->currentText().startsWith(unit.devicePath()), qPrintable(box->currentText()));
                QCOMPARE(stateOf(dialog, 2),
                         QStringLiteral("present, free. QX50_COM2 is set, so COM2 uses %1; unset it to "
                                        "choose the device here.")
                             .arg(unit.devicePath()));
                dialog->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok)->click();
            },
            &shown);
        start.form->menuPortDevices->trigger();
        QVERIFY(shown);
        QCOMPARE(PortAssignments(start.portsFile()).device(2), QStringLiteral("/dev/ttyUSB7"));
    }

    // brltty's claim on a USB serial bridge, told from a sysfs and /proc of the test's own.
    void aBridgeClaimedByBrlttyIsFound_data()
    {
        QTest::addColumn<QByteArray>("vendor");
        QTest::addColumn<QByteArray>("product");
        QTest::addColumn<QString>("driver");
        QTest::addColumn<bool>("withTty");
        QTest::addColumn<QByteArray>("process");
        QTest::addColumn<QString>("chip"); // empty: no claim
        QTest::addRow("CH340 taken") << QByteArray("1a86") << QByteArray("7523") << "usbfs" << false
                                     << QByteArray("brltty") << "CH340";
        QTest::addRow("CP210x taken") << QByteArray("10c4") << QByteArray("ea60") << "usbfs" << false
                                      << QByteArray("brltty") << "CP210x";
        QTest::addRow("FTDI FT-X") << QByteArray("0403") << QByteArray("6015") << "usbfs" << false
                                   << QByteArray("brltty") << "FTDI FT-X";
        QTest::addRow("upper case") << QByteArray("10c4") << QByteArray("ea60") << "usbfs" << false
                                    << QByteArray("brltty") << "CP210x";
        QTest::addRow("serial driver, tty")
            << QByteArray("1a86") << QByteArray("7523") << "ch341" << true << QByteArray("brltty") << "";
        QTest::addRow("usbfs, tty left") << QByteArray("1a86") << QByteArray("7523") << "usbfs" << true
                                         << QByteArray("brltty") << "";
        QTest::addRow("no brltty") << QByteArray("1a86") << QByteArray("7523") << "usbfs" << false << QByteArray("bash")
                                   << "";
        QTest::addRow("unbound") << QByteArray("1a86") << QByteArray("7523") << "" << false << QByteArray("brltty")
                                 << "";
        QTest::addRow("not a bridge") << QByteArray("046d") << QByteArray("c52b") << "usbfs" << false
                                      << QByteArray("brltty") << "";
    }
    void aBridgeClaimedByBrlttyIsFound()
    {
        QFETCH(QByteArray, vendor);
        QFETCH(QByteArray, product);
        QFETCH(QString, driver);
        QFETCH(bool, withTty);
        QFETCH(QByteArray, process);
        QFETCH(QString, chip);
        FakeSystem fake;
        const bool upper = QTest::currentDataTag() == QByteArray("upper case");
        fake.addUsbDevice(upper ? vendor.toUpper() : vendor, upper ? product.toUpper() : product, driver, withTty);
        fake.addProcess(1, "systemd");
        fake.addProcess(812, process);
        const auto claim = findBrailleClaim(fake.sys(), fake.proc());
        QCOMPARE(claim.has_value(), !chip.isEmpty());
        if (!claim)
            return;
        QCOMPARE(claim->chip, chip);
        QCOMPARE(claim->id, QString::fromLatin1(vendor + ":" + product));
        QCOMPARE(claim->usbPath, QStringLiteral("1-2"));
        QVERIFY(claim->summary().contains(claim->id));
        // What to do names the device's own rule and leaves braille displays working.
        for (const char *part : {"brltty", "/etc/udev/rules.d", "/usr/share/doc/brltty", "plug it in again"})
            QVERIFY2(claim->reason().contains(QLatin1String(part)), part);
        QVERIFY(claim->reason().contains(claim->id));
    }

    void anEmptySystemShowsNoClaim()
    {
        FakeSystem fake;
        QVERIFY(!findBrailleClaim(fake.sys(), fake.proc()));
        QVERIFY(!findBrailleClaim(QStringLiteral("/nonexistent"), QStringLiteral("/nonexistent")));
    }
};

QTEST_MAIN(PortDevicesTest)
#include "tst_portdevices.moc"
