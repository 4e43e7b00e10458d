// The settings text, the bounded receive buffer and parity-error marks: the pure
// logic under the serial component.
#include "serial/ParityMarkDecoder.h"
#include "serial/ReceiveBuffer.h"
#include "serial/SerialSettings.h"

#include <QTest>

using StopBits = SerialSettings::StopBits;
Q_DECLARE_METATYPE(SerialSettings)

class SerialSettingsTest : public QObject {
    Q_OBJECT

private slots:
    void acceptsClassicTexts_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<SerialSettings>("expected");
        QTest::addRow("default") << "9600,n,8,1" << SerialSettings {9600, 'N', 8, StopBits::One};
        QTest::addRow("upper case, as saved") << "9600,N,8,1" << SerialSettings {9600, 'N', 8, StopBits::One};
        QTest::addRow("even, 7, 2") << "19200,e,7,2" << SerialSettings {19200, 'E', 7, StopBits::Two};
        QTest::addRow("odd") << "1200,O,8,1" << SerialSettings {1200, 'O', 8, StopBits::One};
        QTest::addRow("mark") << "300,m,5,1.5" << SerialSettings {300, 'M', 5, StopBits::OneAndHalf};
        QTest::addRow("space, 4 bits") << "110,S,4,1" << SerialSettings {110, 'S', 4, StopBits::One};
        QTest::addRow("high rate") << "115200,N,8,1" << SerialSettings {115200, 'N', 8, StopBits::One};
        QTest::addRow("odd rate") << "14400,n,8,1" << SerialSettings {14400, 'N', 8, StopBits::One};
        QTest::addRow("largest rate") << "2147483647,n,8,1" << SerialSettings {2147483647, 'N', 8, StopBits::One};
    }
    void acceptsClassicTexts()
    {
        QFETCH(QString, text);
        QFETCH(SerialSettings, expected);
        const auto parsed = SerialSettings::parse(text);
        QVERIFY(parsed.has_value());
        QCOMPARE(*parsed, expected);
    }

    void rejectsEverythingElse_data()
    {
        QTest::addColumn<QString>("text");
        for (const char *text : {"",
                                 ",",
                                 "9600",
                                 "9600,n,8",
                                 "9600,n,8,1,",
                                 "9600,n,8,1,x",
                                 "9600,n,8,1\r\n",
                                 "9600,n,8,1\n",
                                 " 9600,n,8,1",
                                 "9600 ,n,8,1",
                                 "9600,n,8,3",
                                 "9600,n,3,1",
                                 "9600,n,9,1",
                                 "9600,x,8,1",
                                 "9600,nn,8,1",
                                 "9600,,8,1",
                                 "0,n,8,1",
                                 "-9600,n,8,1",
                                 "+9600,n,8,1",
                                 "96a0,n,8,1",
                                 "2147483648,n,8,1",
                                 "99999999999,n,8,1",
                                 "9600,n,8,1.0",
                                 "9600,n,8,1,5",
                                 "9600;n;8;1",
                                 "COM3:9600,N,8,1"})
            QTest::addRow("%s", text) << QString::fromLatin1(text);
        QTest::addRow("non-Latin digit") << QString::fromUtf8("９600,n,8,1");
        // Found by fuzzing: U+024F upper-cases to U+024E, whose low byte is 'N'.
        QTest::addRow("letter that upper-cases onto N") << QString::fromUtf8("1,\u024F,6,2");
        QTest::addRow("Latin-1 letter") << QString::fromLatin1("9600,\xD1,8,1");
    }
    void rejectsEverythingElse()
    {
        QFETCH(QString, text);
        QVERIFY(!SerialSettings::parse(text).has_value());
    }

    void receiveBufferKeepsTheNewestWhenFull()
    {
        ReceiveBuffer buffer;
        QByteArray sent;
        for (int i = 0; i < 3 * ReceiveBuffer::kCapacity; i += 100) {
            const QByteArray chunk(100, static_cast<char>('a' + (i / 100) % 26));
            buffer.append(chunk);
            sent += chunk;
            QVERIFY(buffer.size() <= ReceiveBuffer::kCapacity);
        }
        QCOMPARE(buffer.take(), sent.right(ReceiveBuffer::kCapacity));
        QCOMPARE(buffer.size(), 0);

        const QByteArray huge(ReceiveBuffer::kCapacity + 10, 'z');
        buffer.append("old");
        buffer.append(huge);
        QCOMPARE(buffer.take(), huge.right(ReceiveBuffer::kCapacity));
    }

    void parityMarksBecomeQuestionMarks_data()
    {
        QTest::addColumn<QList<QByteArray>>("reads");
        QTest::addColumn<QByteArray>("expected");
        using Reads = QList<QByteArray>;
        QTest::addRow("plain") << Reads {"AB\r\n"} << QByteArray("AB\r\n");
        QTest::addRow("marked byte") << Reads {QByteArray("A\xFF\x00X", 4) + "B"} << QByteArray("A?B");
        QTest::addRow("escaped FF") << Reads {"A\xFF\xFF"
                                              "B"}
                                    << QByteArray("A\xFF"
                                                  "B");
        QTest::addRow("mark split over reads") << Reads {"A\xFF", QByteArray("\x00", 1), "XB"} << QByteArray("A?B");
        QTest::addRow("escape split over reads") << Reads {"\xFF", "\xFF"} << QByteArray("\xFF");
        QTest::addRow("NUL passes") << Reads {QByteArray("\x00\x01", 2)} << QByteArray("\x00\x01", 2);
        QTest::addRow("stray FF keeps both bytes") << Reads {"\xFF"
                                                             "A"}
                                                   << QByteArray("\xFF"
                                                                 "A");
    }
    void parityMarksBecomeQuestionMarks()
    {
        QFETCH(QList<QByteArray>, reads);
        QFETCH(QByteArray, expected);
        ParityMarkDecoder decoder;
        QByteArray out;
        for (const QByteArray &read : reads)
            out += decoder.decode(read);
        QCOMPARE(out, expected);
    }
};

QTEST_APPLESS_MAIN(SerialSettingsTest)
#include "tst_serialsettings.moc"
