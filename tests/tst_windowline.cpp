// The line under the status as an operator reads it in the window's own width and
// font: a lost port behind a long stable name, a recording just made, another set
// made active from outside. Each says what matters in the room it has, puts the rest
// in its tooltip and description, and is told to a screen reader once. The unit's
// end is a real pseudo-terminal.
#include "support/FormFixture.h"
#include "support/PtyUnit.h"

#include <QFile>
#include <QLabel>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

class WindowLineTest : public QObject {
    Q_OBJECT

private slots:
    void saysWhatMattersInTheRoomItHas_data()
    {
        QTest::addColumn<QString>("event");
        QTest::addColumn<QString>("shown"); // a pattern for the whole line as drawn
        QTest::addColumn<QString>("tooltip"); // a pattern; empty: no tooltip
        QTest::addColumn<QString>("told"); // a pattern for the one thing said
        QTest::addRow("a lost port behind a by-id link")
            << "lost" << "COM1 lost \u2013 waiting.*" << ".*/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0.*"
            << "COM1 lost\\. Waiting for it to come back\\.";
        QTest::addRow("a recording") << "record" << "3: recorded, \\d+\\.\\d s" << "" << "3: recorded, \\d+\\.\\d s";
        QTest::addRow("a set made active") << "set Contest" << "Set: Contest" << "" << "Set: Contest";
        QTest::addRow("a set with a long name")
            << "set Contest of the year 2026" << "Set: Contest.*\u2026" << "Set: Contest of the year 2026"
            << "Set: Contest of the year 2026";
    }
    void saysWhatMattersInTheRoomItHas()
    {
        QFETCH(QString, event);
        QFETCH(QString, shown);
        QFETCH(QString, tooltip);
        QFETCH(QString, told);
        QTemporaryDir folder;
        const QString link = folder.filePath(QStringLiteral("usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0"));
        auto unit = std::make_unique<PtyUnit>();
        QVERIFY(QFile::link(unit->devicePath(), link));
        FormFixture f;
        f.ports[1] = link;
        f.form->Comm1.setReopenLostPort(true);
        f.form->Form_Load();
        f.form->menuCom(1)->trigger();
        QCOMPARE(unit->received(1), QByteArray("P"));
        PanelModel &model = f.form->model();
        auto *line = f.form->findChild<QLabel *>(QStringLiteral("RepeatLine"));
        QSignalSpy lineTold(&model.line(), &Line::told);
        QSignalSpy eventTold(&model.eventLine(), &EventLine::told);

        if (event == QLatin1String("lost")) {
            unit->hangUp();
            QVERIFY(QFile::remove(link));
            QTRY_COMPARE_WITH_TIMEOUT(model.line().state(), Line::State::Waiting, 10000);
        } else if (event == QLatin1String("record")) {
            QTest::keyClicks(f.form.get(), QStringLiteral("3m"));
            QCOMPARE(unit->arriving(2), QByteArray("3M"));
            QSignalSpy tick(&model.line().tick(), &QTimer::timeout);
            QVERIFY(tick.wait()); // a recording that runs for a tick of the line at least
            QTest::keyClick(f.form.get(), Qt::Key_S);
            QCOMPARE(unit->arriving(1), QByteArray("S"));
        } else {
            const QString set = event.mid(4);
            QCOMPARE(model.messages().addSet(set), QString());
            QCOMPARE(model.messages().selectSet(QStringLiteral("Default")), QString());
            QTest::keyClick(f.form.get(), Qt::Key_5); // old news once a command goes out
            QVERIFY(!line->text().startsWith(QLatin1String("Set:")));
            lineTold.clear();
            eventTold.clear();
            QCOMPARE(model.messages().selectSet(set), QString()); // as the bus or qx50-send does
        }
        QVERIFY2(QRegularExpression(QRegularExpression::anchoredPattern(shown)).match(line->text()).hasMatch(),
                 qPrintable(line->text()));
        QVERIFY(!line->isHidden());
        QVERIFY2(line->fontMetrics().horizontalAdvance(line->text()) <= line->contentsRect().width(),
                 qPrintable(line->text()));
        QVERIFY(line->text().size() < 2 || !line->text().contains(QLatin1String("/"))); // no path squeezed in
        if (tooltip.isEmpty())
            QCOMPARE(line->toolTip(), QString());
        else
            QVERIFY2(QRegularExpression(QRegularExpression::anchoredPattern(tooltip)).match(line->toolTip()).hasMatch(),
                     qPrintable(line->toolTip()));
        QCOMPARE(line->accessibleDescription(), line->toolTip());
        QList<QList<QVariant>> said = lineTold;
        said += eventTold;
        QCOMPARE(said.size(), 1);
        const QString words = said.front().front().toString();
        QVERIFY2(QRegularExpression(QRegularExpression::anchoredPattern(told)).match(words).hasMatch(), qPrintable(words));
    }
};

QTEST_MAIN(WindowLineTest)
#include "tst_windowline.moc"
