// The Help menu: the guide beside the executable, and the About box.
#include "help/GuidePath.h"
#include "support/FormFixture.h"
#include "ui/ViewerHandOver.h"

#include <QAction>
#include <QTest>

#include <csignal>

namespace {

// An opener of the test's own, a real program run as the desktop's would be: its
// shell body gets the document's path as $1.
QString writeOpener(const QTemporaryDir &dir, const QByteArray &body)
{
    const QString path = dir.filePath(QStringLiteral("opener"));
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write("#!/bin/sh\n" + body + "\n");
    file.close();
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    return path;
}

} // namespace

class HelpTest : public QObject {
    Q_OBJECT

private slots:
    void theGuideLiesBesideTheExecutable_data()
    {
        QTest::addColumn<QString>("directory");
        QTest::addColumn<QString>("path");
        QTest::addRow("ordinary") << "/opt/qx50"
                                  << "/opt/qx50/guide.htm";
        QTest::addRow("root") << "/"
                              << "/guide.htm";
        QTest::addRow("drive") << "C:/Tools"
                               << "C:/Tools/guide.htm";
        QTest::addRow("drive root") << "D:/"
                                    << "D:/guide.htm";
        QTest::addRow("drive root, backslash") << "D:\\"
                                               << "D:\\guide.htm";
    }
    void theGuideLiesBesideTheExecutable()
    {
        QFETCH(QString, directory);
        QFETCH(QString, path);
        QCOMPARE(guideDocumentPath(directory), path);
    }

    void theGuideIsHandedToTheViewer()
    {
        FormFixture f; // its working directory is not the executable's
        QTemporaryDir exeDir;
        f.desktop.directory = exeDir.path();
        QFile guide(exeDir.filePath(QStringLiteral("guide.htm")));
        QVERIFY(guide.open(QIODevice::WriteOnly));
        guide.write("<html></html>");
        guide.close();

        f.form->menuGuide->trigger();
        QCOMPARE(f.desktop.documents, QStringList {guide.fileName()});
        QCOMPARE(f.desktop.showModes, QList<int> {10});
        QCOMPARE(f.desktop.boxes.size(), 0);

        f.desktop.clear(); // present, but nothing on the desktop can show it
        f.desktop.viewerAccepts = false;
        f.form->menuGuide->trigger();
        QCOMPARE(f.desktop.prompts(), QStringList {"Help file not found!"});
        QCOMPARE(f.desktop.boxes.at(0).style, 48);
        QCOMPARE(f.desktop.boxes.at(0).title, QStringLiteral("orma-qx50-voice-mem"));
        const QString detail = f.desktop.boxes.at(0).detail;
        QVERIFY2(detail.contains(guide.fileName()), qPrintable(detail));
        QVERIFY2(
            detail.contains(QLatin1String("this desktop has no program to show HTML documents; install a web browser")),
            qPrintable(detail));
    }

    // Whether the desktop took the guide is read from the opener's exit status: xdg-open
    // exits 3 when nothing can show HTML. An opener still running a moment later runs
    // the viewer itself, and the viewer outlives the hand-over.
    void theHandOverReadsTheOpenersStatus_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<bool>("taken");
        QTest::addRow("handed on") << QByteArray("test -f \"$1\"") << true;
        QTest::addRow("no program for HTML") << QByteArray("exit 3") << false;
        QTest::addRow("file not found") << QByteArray("exit 2") << false;
        QTest::addRow("killed") << QByteArray("kill -9 $$") << false;
        QTest::addRow("no such opener") << QByteArray() << false;
    }
    void theHandOverReadsTheOpenersStatus()
    {
        QFETCH(QByteArray, body);
        QFETCH(bool, taken);
        QTemporaryDir dir;
        const QString opener = body.isEmpty() ? dir.filePath(QStringLiteral("missing")) : writeOpener(dir, body);
        QFile guide(dir.filePath(QStringLiteral("guide.htm")));
        QVERIFY(guide.open(QIODevice::WriteOnly));
        guide.close();
        QCOMPARE(ViewerHandOver(opener).hand(guide.fileName()), taken);
    }

    void aViewerStillRunningHasTakenTheGuide()
    {
        QTemporaryDir dir;
        const QString pidFile = dir.filePath(QStringLiteral("viewer.pid"));
        const QString opener = writeOpener(dir, "echo $$ > \"" + pidFile.toLocal8Bit() + "\"; exec tail -f /dev/null");
        QVERIFY(ViewerHandOver(opener, std::chrono::milliseconds(300)).hand(dir.filePath(QStringLiteral("guide.htm"))));
        QFile file(pidFile);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const pid_t viewer = static_cast<pid_t>(file.readAll().trimmed().toLongLong());
        QVERIFY(viewer > 0);
        QCOMPARE(::kill(viewer, 0), 0); // left running, not ended with the hand-over
        ::kill(viewer, SIGTERM);
    }

    void aMissingGuideIsReportedAndChangesNothing()
    {
        FormFixture f;
        QTemporaryDir exeDir;
        f.desktop.directory = exeDir.path();
        QFile inCwd(QStringLiteral("guide.htm")); // beside the working directory does not count
        QVERIFY(inCwd.open(QIODevice::WriteOnly));
        inCwd.close();
        f.form->Status->setCaption(QStringLiteral("Transmit"));

        f.form->menuGuide->trigger();
        QCOMPARE(f.desktop.events, QStringList {"box: Help file not found!"});
        QCOMPARE(f.desktop.boxes.at(0).style, 48);
        QCOMPARE(f.form->Status->caption(), QStringLiteral("Transmit"));
    }

    void theAboutBox()
    {
        FormFixture f;
        f.form->menuAbout->trigger();
        QCOMPARE(f.desktop.boxes.size(), 1);
        const auto box = f.desktop.boxes.at(0);
        QCOMPARE(box.style, 64);
        QCOMPARE(box.title, QStringLiteral("ORMA-QX50 Voice Memory"));
        const QStringList lines = box.prompt.split(QLatin1Char('\r'));
        QCOMPARE(lines.size(), 3);
        QCOMPARE(lines.at(0), QStringLiteral("ORMA-QX50 Voice Memory"));
        QCOMPARE(lines.at(1), QStringLiteral("Version 1.00"));
        QVERIFY(!lines.at(2).isEmpty());
        QVERIFY(!box.prompt.contains(QLatin1Char('\n')));
        QCOMPARE(f.desktop.beeps(), 0);
    }

    void theShippedGuideIsSelfContainedAndExplainsEveryMessage()
    {
        QFile guide(QStringLiteral(QX50_BUILD_DIR "/guide.htm"));
        QVERIFY2(guide.open(QIODevice::ReadOnly), "guide.htm must lie beside the executable");
        const QString html = QString::fromUtf8(guide.readAll());
        QVERIFY(!html.contains(QLatin1String("<script"), Qt::CaseInsensitive));
        QVERIFY(!html.contains(QLatin1String("src=\"http"), Qt::CaseInsensitive));
        QVERIFY(!html.contains(QLatin1String("<link"), Qt::CaseInsensitive));
        for (const char *text : {"Com Port is not open!", "The Com Port is not available", "Select a Free Com Port",
                                 "Failed to save com settings", "Help file not found!", "Com Port Closed",
                                 "Com Port is Closed", "dialout", "QX50_COM1", "9600", "orma-qx50-voice-mem.ini"})
            QVERIFY2(html.contains(QLatin1String(text)), text);
    }
};

QTEST_MAIN(HelpTest)
#include "tst_help.moc"
