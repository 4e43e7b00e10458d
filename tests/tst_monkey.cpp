// Twenty thousand random operations on the window, with ports appearing, vanishing
// and becoming busy, and the invariants checked after each one. The seed is fixed
// (QX50_MONKEY_SEED changes it) and printed with any failure.
#include "serial/ReceivedText.h"
#include "support/FormFixture.h"
#include "support/PtyUnit.h"
#include "contract/CommandTable.h"

#include <QAction>
#include <QDeadlineTimer>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTest>

namespace {

const QStringList kOwnMessages {
    "Com Port is not open!",
    "The Com Port is not available",
    "Select a Free Com Port",
    "Failed to save com settings",
    "Help file not found!",
    "ORMA-QX50 Voice Memory\rVersion 1.00\rA control panel for the voice-memory unit of the ORMA QX50 transceiver"};

// One Com port's far end: the unit on it (or another program holding it), and the
// bytes it should have and did receive.
struct PortEnd {
    std::unique_ptr<PtyUnit> unit;
    std::unique_ptr<PortHolder> holder;
    QByteArray expected; // every byte the program should have sent on it
    QByteArray actual;
};

template <typename Condition>
bool pumpUntil(Condition done)
{
    const QDeadlineTimer deadline(5000);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

} // namespace

class MonkeyTest : public QObject {
    Q_OBJECT

private slots:
    void randomOperationsKeepEveryInvariant()
    {
        const quint32 seed = qEnvironmentVariableIsSet("QX50_MONKEY_SEED")
            ? qEnvironmentVariable("QX50_MONKEY_SEED").toUInt()
            : 20261207u;
        const int steps = qEnvironmentVariableIsSet("QX50_MONKEY_STEPS")
            ? qEnvironmentVariableIntValue("QX50_MONKEY_STEPS")
            : 20000;
        QRandomGenerator random(seed);

        FormFixture f;
        f.form->Timer1.stop(); // ticks are one of the monkey's operations
        std::array<PortEnd, 5> lines; // index 1 to 4
        for (int n = 1; n <= 4; n += 2) {
            lines[n].unit = std::make_unique<PtyUnit>();
            f.ports[n] = lines[n].unit->devicePath();
        }
        f.form->Form_Load();
        QString shown; // what the panel must show
        QString what;
        int stepsWithAnOpenPort = 0;

        auto openLine = [&]() -> PortEnd * {
            if (!f.form->Comm1.portOpen())
                return nullptr;
            PortEnd &line = lines[f.form->Comm1.commPort()];
            return line.unit ? &line : nullptr;
        };
        auto expectCommand = [&](PortEnd *line, char command) {
            if (line)
                line->expected += command;
        };

        for (int step = 0; step < steps; ++step) {
            const auto context = [&] { return QStringLiteral("seed %1, step %2: %3").arg(seed).arg(step).arg(what); };
            PortEnd *before = openLine();
            const int n = 1 + static_cast<int>(random.bounded(4));
            const int op = static_cast<int>(random.bounded(100));

            if (op < 25) {
                const int index = static_cast<int>(random.bounded(15));
                QPushButton *button = index < 5
                    ? std::array {f.form->Command1, f.form->Command2, f.form->Command3, f.form->Command4,
                                  f.form->Command5}[static_cast<size_t>(index)]
                    : f.form->Number[static_cast<size_t>(index - 5)];
                what = QStringLiteral("click ") + button->text();
                button->click();
                expectCommand(before, index < 5 ? "MRPTS"[index] : static_cast<char>('0' + index - 5));
            } else if (op < 45) {
                static const QByteArray keys("MmRrPpTtSs0123456789axZ :/\r\x1b\xE9\xFF");
                const char key = keys.at(static_cast<qsizetype>(random.bounded(static_cast<quint32>(keys.size()))));
                what = QStringLiteral("key %1").arg(static_cast<unsigned char>(key));
                const bool commandsOn = f.form->menuKeyboardCommands->isChecked();
                const QString text(QChar::fromLatin1(key));
                QTest::sendKeyEvent(QTest::Press, f.form.get(), Qt::Key_unknown, text, Qt::NoModifier);
                QTest::sendKeyEvent(QTest::Release, f.form.get(), Qt::Key_unknown, text, Qt::NoModifier);
                if (commandsOn)
                    if (const auto command = CommandTable::commandForKey(static_cast<unsigned char>(key)))
                        expectCommand(before, *command);
            } else if (op < 55) {
                what = QStringLiteral("Com%1").arg(n);
                const bool enabled = f.form->menuCom(n)->isEnabled(); // greyed items cannot be chosen
                f.form->menuCom(n)->trigger();
                if (PortEnd *now = openLine(); now && enabled)
                    now->expected += 'P';
            } else if (op < 58) {
                what = QStringLiteral("Close Com port");
                f.form->menuCloseComPort->trigger();
            } else if (op < 62) {
                what = QStringLiteral("toggle panel");
                if (random.bounded(2))
                    f.form->menuShowSerialComRxData->trigger();
                else
                    f.form->Command6->click();
            } else if (op < 65) {
                what = QStringLiteral("toggle keyboard commands");
                f.form->menuKeyboardCommands->trigger();
            } else if (op < 66) {
                what = QStringLiteral("help");
                (random.bounded(2) ? f.form->menuAbout : f.form->menuGuide)->trigger();
            } else if (op < 73) {
                what = QStringLiteral("tick");
                f.form->Timer1_Timer();
            } else if (op < 85) {
                PortEnd *line = openLine();
                QByteArray bytes;
                const int length = 1 + static_cast<int>(random.bounded(line ? 260 : 1));
                static const QByteArray special("\x00\xFF\r\n<b>&amp;", 12);
                for (int i = 0; i < length; ++i)
                    bytes += random.bounded(3) == 0 ? special.at(static_cast<qsizetype>(random.bounded(12)))
                                                    : static_cast<char>(random.bounded(256));
                what = QStringLiteral("receive %1 bytes").arg(bytes.size());
                if (line) {
                    line->unit->send(bytes);
                    const QString expected = keepNewest(shown, QString::fromLatin1(bytes));
                    QVERIFY2(pumpUntil([&] {
                                 f.form->Timer1_Timer();
                                 return f.form->TextBox->caption() == expected;
                             }),
                             qPrintable(context()));
                    shown = expected;
                }
            } else if (op < 88) {
                what = QStringLiteral("COM%1 vanishes").arg(n);
                if (lines[n].unit) {
                    const bool wasOpen = openLine() == &lines[n];
                    lines[n].holder.reset();
                    lines[n].unit->hangUp();
                    lines[n] = PortEnd();
                    f.ports.remove(n);
                    if (wasOpen)
                        QVERIFY2(pumpUntil([&] {
                                     return !f.form->Comm1.portOpen()
                                         && f.desktop.prompts().contains("The Com Port is not available");
                                 }),
                                 qPrintable(context()));
                }
            } else if (op < 94) {
                what = QStringLiteral("COM%1 appears").arg(n);
                if (!lines[n].unit) {
                    lines[n].unit = std::make_unique<PtyUnit>();
                    f.ports[n] = lines[n].unit->devicePath();
                }
            } else {
                what = QStringLiteral("COM%1 busy or free").arg(n);
                if (lines[n].holder)
                    lines[n].holder.reset();
                else if (lines[n].unit && openLine() != &lines[n])
                    lines[n].holder = std::make_unique<PortHolder>(lines[n].unit->devicePath());
            }

            // The invariants.
            int checked = 0;
            for (int index = 1; index <= 4; ++index) {
                if (!f.form->menuCom(index)->isChecked())
                    continue;
                ++checked;
                QVERIFY2(f.form->Comm1.portOpen() && f.form->Comm1.commPort() == index, qPrintable(context()));
            }
            QVERIFY2(checked <= 1, qPrintable(context()));
            for (int index = 1; index <= 4; ++index) {
                PortEnd &line = lines[index];
                if (!line.unit)
                    continue;
                line.actual += line.unit->received(line.expected.size() - line.actual.size());
                QVERIFY2(line.actual == line.expected,
                         qPrintable(context()
                                    + QStringLiteral(": COM%1 got \"%2\", expected \"%3\"")
                                          .arg(index)
                                          .arg(QString::fromLatin1(line.actual.right(20)),
                                               QString::fromLatin1(line.expected.right(20)))));
            }
            QVERIFY2(f.form->TextBox->caption() == shown, qPrintable(context()));
            QVERIFY2(shown.size() <= kReceivedTextLimit, qPrintable(context()));
            for (const QString &prompt : f.desktop.prompts())
                QVERIFY2(kOwnMessages.contains(prompt), qPrintable(context() + QStringLiteral(": ") + prompt));
            QVERIFY2(f.desktop.endings.isEmpty(), qPrintable(context()));
            if (before)
                ++stepsWithAnOpenPort;
            f.desktop.clear();
        }
        qint64 sentToUnits = 0;
        for (const PortEnd &line : lines)
            sentToUnits += line.expected.size();
        qInfo("%d steps, %d with a port open; %lld bytes checked on the lines live at the end", steps,
              stepsWithAnOpenPort, sentToUnits);
        QVERIFY(stepsWithAnOpenPort > steps / 10); // the monkey must really drive the line
    }
};

QTEST_MAIN(MonkeyTest)
#include "tst_monkey.moc"
