// Which device each port uses (QX50_COMn, then ports.conf, then /dev/ttyS(n-1)), and
// the "Port devices" dialog that assigns them, driven by keys alone.
#include "serial/PortAssignments.h"
#include "support/LauncherStart.h"
#include "support/PtyUnit.h"

#include <QComboBox>
#include <QLabel>
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
        whenDialogShows([&](QDialog *dialog) {
            QCOMPARE(dialog->windowTitle(), QStringLiteral("Port devices"));
            QCOMPARE(deviceBox(dialog, 2)->currentText(), QStringLiteral("/nonexistent/qx50"));
            QCOMPARE(stateOf(dialog, 2), QStringLiteral("not present"));
            QCOMPARE(QApplication::focusWidget(), deviceBox(dialog, 1));
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget(), deviceBox(dialog, 2));
            typeDevice(unit.devicePath());
            stateWhileTyped = stateOf(dialog, 2);
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        }, &shown);
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
        whenDialogShows([&](QDialog *dialog) {
            QVERIFY(!deviceBox(dialog, 1)->isEnabled());
            QVERIFY(stateOf(dialog, 1).contains(QLatin1String("close the port first")));
            QCOMPARE(QApplication::focusWidget(), deviceBox(dialog, 2)); // the open row is passed by
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            typeDevice(com3.devicePath());
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        }, &shown);
        start.form->menuPortDevices->trigger();
        QVERIFY(shown);
        QCOMPARE(start.portsFileBytes(), portsBefore);
        QVERIFY(!start.form->menuCom(3)->isEnabled());

        // Again, with OK: COM3 is assigned and probed beside the open COM1.
        whenDialogShows([&](QDialog *dialog) {
            deviceBox(dialog, 3)->setFocus();
            typeDevice(com3.devicePath());
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        }, &shown);
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
        whenDialogShows([&](QDialog *dialog) {
            const QString state = stateOf(dialog, 1);
            QVERIFY2(state.contains(QLatin1String("QX50_COM1 is set, so COM1 uses ") + com1.devicePath()), qPrintable(state));
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        }, &shown);
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
        whenDialogShows([&](QDialog *dialog) {
            const QString state = stateShown(dialog, 2);
            QVERIFY2(state.endsWith(QLatin1String("QX50_COM2 is set, so COM2 uses ") + device + QLatin1String(" instead")),
                     qPrintable(state));
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        }, &shown);
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
        const auto mode = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther
                          | QFile::ReadUser | QFile::WriteUser;
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
        QCOMPARE(QDir(dotfiles.path()).entryList(QDir::Files), QStringList{"ports.conf"});
        QCOMPARE(QDir(QFileInfo(start.portsFile()).absolutePath()).entryList(QDir::Files | QDir::System),
                 QStringList{"ports.conf"});
    }
};

QTEST_MAIN(PortDevicesTest)
#include "tst_portdevices.moc"
