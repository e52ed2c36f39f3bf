// The wire format's byte examples, both ways.
#include "pidlink/pidframe.h"

#include <QtTest>

#include <cmath>
#include <cstring>

class TestPidFrame : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void buildCommandFrame_data();
    void buildCommandFrame();
    void readValues_data();
    void readValues();
};

void TestPidFrame::buildCommandFrame_data()
{
    QTest::addColumn<int>("op");
    QTest::addColumn<int>("dir");
    QTest::addColumn<int>("channel");
    QTest::addColumn<float>("value");
    QTest::addColumn<QByteArray>("bytes");

    QTest::newRow("write P 2.5") << 1 << 1 << 0 << 2.5f
                                 << QByteArray::fromHex("43 01 01 00 00 00 00 20 40 0a");
    QTest::newRow("start") << 7 << 0 << 0 << 0.0f
                           << QByteArray::fromHex("43 07 00 00 00 00 00 00 00 0a");
    QTest::newRow("stop") << 8 << 0 << 0 << 0.0f
                          << QByteArray::fromHex("43 08 00 00 00 00 00 00 00 0a");
    QTest::newRow("P 1.5 on CH3") << 1 << 1 << 2 << 1.5f
                                  << QByteArray::fromHex("43 01 01 02 00 00 00 c0 3f 0a");
    QTest::newRow("8.625 holds an inner 0x0A")
        << 1 << 1 << 0 << 8.625f << QByteArray::fromHex("43 01 01 00 00 00 00 0a 41 0a");
    QTest::newRow("negative zero")
        << 4 << 1 << 3 << -0.0f << QByteArray::fromHex("43 04 01 03 00 00 00 00 80 0a");
}

void TestPidFrame::buildCommandFrame()
{
    QFETCH(int, op);
    QFETCH(int, dir);
    QFETCH(int, channel);
    QFETCH(float, value);
    QFETCH(QByteArray, bytes);

    char frame[FrameSize];
    std::memset(frame, 0x55, sizeof frame); // every byte must be written
    ::buildCommandFrame(frame, static_cast<unsigned char>(op), static_cast<unsigned char>(dir),
                        static_cast<unsigned char>(channel), 0, value);
    QCOMPARE(QByteArray(frame, FrameSize).toHex(), bytes.toHex());
    QCOMPARE(commandValue(frame), value);
}

void TestPidFrame::readValues_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("index");
    QTest::addColumn<float>("value");

    const QByteArray sample = QByteArray::fromHex("30 00 00 c0 3f 00 00 00 40 0a");
    QTest::newRow("actual") << sample << 1 << 1.5f;
    QTest::newRow("target") << sample << 2 << 2.0f;
    QTest::newRow("index 0") << sample << 0 << 0.0f;
    QTest::newRow("index 3") << sample << 3 << 0.0f;
    QTest::newRow("inner 0x0A") << QByteArray::fromHex("31 00 00 0a 41 00 00 00 00 0a") << 1
                                << 8.625f;
}

void TestPidFrame::readValues()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, index);
    QFETCH(float, value);
    QCOMPARE(bytes.size(), FrameSize);
    QCOMPARE(sampleValue(bytes.constData(), static_cast<unsigned char>(index)), value);
    QCOMPARE(int(static_cast<unsigned char>(bytes.at(9))), frameEnd());
}

QTEST_APPLESS_MAIN(TestPidFrame)
#include "tst_pidframe.moc"
