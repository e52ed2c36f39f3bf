#include "pidlink/pidframe.h"

#include <QtTest>

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSerialPort>
#include <QTemporaryDir>

#include <csignal>
#include <sys/types.h>

namespace {
QByteArray command(unsigned char op, unsigned char dir, unsigned char channel, float value = 0.0f)
{
    char frame[FrameSize];
    return QByteArray(buildCommandFrame(frame, op, dir, channel, 0, value), FrameSize);
}

const float defaultTargets[4] = {100.0f, 60.0f, 60.0f, 80.0f};

// The built simulator, started for one test and killed if the test leaves it running.
class Simulator
{
public:
    explicit Simulator(const QStringList &args)
    {
        process.setProgram(QStringLiteral(TAVRINO_BOARDSIM));
        process.setArguments(args);
        process.start();
    }
    ~Simulator()
    {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(5000);
        }
    }

    // The first line of stdout: the device to open.
    QString waitForPath()
    {
        QElapsedTimer clock;
        clock.start();
        while (!process.canReadLine() && clock.elapsed() < 15000 &&
               process.state() != QProcess::NotRunning)
            process.waitForReadyRead(100);
        return QString::fromLocal8Bit(process.readLine()).trimmed();
    }

    bool finished() { return process.state() == QProcess::NotRunning; }
    void signal(int number) { ::kill(pid_t(process.processId()), number); }

    QProcess process;
};

bool openPort(QSerialPort &port, const QString &path)
{
    port.setPortName(path);
    return port.open(QIODevice::ReadWrite);
}

// Reads until the simulator has exited (and the line is empty) or `timeoutMs` passed.
QByteArray readUntilExit(QSerialPort &port, Simulator &sim, int timeoutMs = 60000)
{
    QByteArray data;
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < timeoutMs) {
        if (port.waitForReadyRead(20) || port.bytesAvailable() > 0)
            data += port.readAll();
        sim.process.waitForFinished(1);
        if (sim.finished()) {
            // It waits for us to take everything before it exits; pick up the rest.
            while (port.waitForReadyRead(50))
                data += port.readAll();
            data += port.readAll();
            break;
        }
    }
    return data;
}

QByteArray readAtLeast(QSerialPort &port, int count)
{
    QByteArray data;
    QElapsedTimer clock;
    clock.start();
    while (data.size() < count && clock.elapsed() < 15000) {
        if (port.waitForReadyRead(50))
            data += port.readAll();
    }
    return data;
}

QByteArray readFor(QSerialPort &port, int ms)
{
    QByteArray data;
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms) {
        if (port.waitForReadyRead(20))
            data += port.readAll();
    }
    return data;
}

QJsonObject readReport(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QJsonObject();
    return QJsonDocument::fromJson(file.readAll()).object();
}

qint64 number(const QJsonObject &report, const char *key)
{
    return qint64(report.value(QLatin1String(key)).toDouble(-1));
}
} // namespace

class BoardSimProcessTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void stream_data();
    void stream();
    void boardCommands_data();
    void boardCommands();
    void answersTheProgram();
    void stopSignals_data();
    void stopSignals();
    void errorRateCorruptsExactly();
    void closingThePortStopsTheStream();
    void badArguments_data();
    void badArguments();

private:
    QTemporaryDir dir;
};

void BoardSimProcessTest::initTestCase()
{
    QVERIFY(QFileInfo::exists(QStringLiteral(TAVRINO_BOARDSIM)));
    QVERIFY(dir.isValid());
}

void BoardSimProcessTest::stream_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<bool>("sendStart");
    QTest::addColumn<bool>("stringMode");
    QTest::addColumn<int>("count");
    QTest::addColumn<double>("rate");

    QTest::newRow("40 frames") << QStringList{"--frames", "40"} << true << false << 40 << 100.0;
    QTest::newRow("frames not a multiple of four")
        << QStringList{"--frames", "6"} << true << false << 6 << 100.0;
    QTest::newRow("1000 samples per second")
        << QStringList{"--frames", "2000", "--rate", "1000"} << true << false << 2000 << 1000.0;
    QTest::newRow("as fast as the line takes")
        << QStringList{"--frames", "40000", "--rate", "max"} << true << false << 40000 << 0.0;
    QTest::newRow("string mode") << QStringList{"--string-mode", "--frames", "15"} << true << true
                                 << 15 << 100.0;
    QTest::newRow("autostart needs no start command")
        << QStringList{"--autostart", "--frames", "12"} << false << false << 12 << 100.0;
}

void BoardSimProcessTest::stream()
{
    QFETCH(QStringList, args);
    QFETCH(bool, sendStart);
    QFETCH(bool, stringMode);
    QFETCH(int, count);
    QFETCH(double, rate);

    const QString reportPath = dir.filePath(QStringLiteral("stream.json"));
    QFile::remove(reportPath);
    Simulator sim(args << QStringLiteral("--report") << reportPath);
    const QString path = sim.waitForPath();
    QVERIFY2(!path.isEmpty(), sim.process.readAllStandardError().constData());
    QSerialPort port;
    QVERIFY2(openPort(port, path), qPrintable(port.errorString()));
    if (sendStart)
        QCOMPARE(port.write(command(CmdStart, DirRead, 0)), qint64(FrameSize));

    const QByteArray data = readUntilExit(port, sim);
    QVERIFY(sim.finished());
    QCOMPARE(sim.process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(sim.process.exitCode(), 0);

    const QJsonObject report = readReport(reportPath);
    QCOMPARE(report.value(QLatin1String("end")).toString(), QStringLiteral("frame limit sent"));
    QCOMPARE(number(report, "bytes"), qint64(data.size()));
    QCOMPARE(number(report, "unsent_items"), qint64(0));
    // 0, or -1 where QSerialPort's exclusive lock keeps a non-root board from looking.
    QVERIFY(number(report, "bytes_left_in_line") <= 0);
    QCOMPARE(number(report, "command_frames"), qint64(0));
    QCOMPARE(number(report, "received_frames"), qint64(sendStart ? 1 : 0));

    if (stringMode) {
        QCOMPARE(number(report, "lines"), qint64(count));
        QCOMPARE(number(report, "samples"), qint64(count * 4));
        const QList<QByteArray> lines = data.split('\n');
        QCOMPARE(lines.size(), count + 1); // the text ends with a line end
        QVERIFY(lines.last().isEmpty());
        for (int i = 0; i < count; ++i) {
            const QList<QByteArray> fields = lines[i].split(',');
            QCOMPARE(fields.size(), 8);
            for (int ch = 0; ch < 4; ++ch)
                QCOMPARE(fields[2 * ch + 1].toFloat(), defaultTargets[ch]);
        }
    } else {
        QCOMPARE(number(report, "data_frames"), qint64(count));
        QCOMPARE(number(report, "samples"), qint64(count));
        QCOMPARE(data.size(), count * FrameSize);
        for (int i = 0; i < count; ++i) {
            const char *frame = data.constData() + i * FrameSize;
            QCOMPARE(frame[0], char('0' + i % 4));
            QCOMPARE(int(frame[9]), frameEnd());
            QCOMPARE(sampleValue(frame, 2), defaultTargets[i % 4]);
            // Measured values never carry the frame end inside by default.
            QVERIFY(!QByteArray(frame, FrameSize - 1).contains('\n'));
        }
    }
    // Paced: the periods cannot have come faster than the rate allows.
    if (rate > 0.0) {
        const int periods = stringMode ? count : (count + 3) / 4;
        QVERIFY(report.value(QLatin1String("seconds")).toDouble() >= (periods - 1) / rate);
    }
}

void BoardSimProcessTest::boardCommands_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QByteArray>("expected");
    QTest::addColumn<int>("delayMs");

    QTest::newRow("read requests")
        << QStringList{"--send-read", "P", "--send-read", "t"}
        << command(CmdP, DirRead, 0) + command(CmdTarget, DirRead, 0) << 0;
    QTest::newRow("start and stop")
        << QStringList{"--send-start", "--send-stop"}
        << command(CmdStart, DirRead, 0) + command(CmdStop, DirRead, 0) << 0;
    QTest::newRow("reads, then start, then stop, after a delay")
        << QStringList{"--send-stop", "--send-read",  "A",  "--send-start", "--send-read",
                       "D",           "--send-delay", "400"}
        << command(CmdActual, DirRead, 0) + command(CmdD, DirRead, 0) +
               command(CmdStart, DirRead, 0) + command(CmdStop, DirRead, 0)
        << 400;
}

void BoardSimProcessTest::boardCommands()
{
    QFETCH(QStringList, args);
    QFETCH(QByteArray, expected);
    QFETCH(int, delayMs);

    const QString reportPath = dir.filePath(QStringLiteral("commands.json"));
    QElapsedTimer clock;
    clock.start();
    Simulator sim(args << QStringLiteral("--report") << reportPath);
    const QString path = sim.waitForPath();
    QVERIFY(!path.isEmpty());
    QSerialPort port;
    QVERIFY(openPort(port, path));

    QByteArray data = readAtLeast(port, int(expected.size()));
    QVERIFY(clock.elapsed() >= delayMs);
    data += readFor(port, 200); // nothing else follows
    QCOMPARE(data.toHex(' '), expected.toHex(' '));

    sim.signal(SIGTERM);
    QVERIFY(sim.process.waitForFinished(15000));
    QCOMPARE(sim.process.exitCode(), 0);
    const QJsonObject report = readReport(reportPath);
    QCOMPARE(number(report, "command_frames"), qint64(expected.size() / FrameSize));
    QCOMPARE(number(report, "data_frames"), qint64(0));
}

void BoardSimProcessTest::answersTheProgram()
{
    // Played the way the program's buttons send: a written P on CH3 reads back on CH3.
    const QString reportPath = dir.filePath(QStringLiteral("answers.json"));
    Simulator sim({QStringLiteral("--report"), reportPath});
    const QString path = sim.waitForPath();
    QSerialPort port;
    QVERIFY(openPort(port, path));
    port.write(command(CmdP, DirWrite, 2, 1.5f));
    port.write(QByteArray("junk"));
    port.write(command(CmdP, DirRead, 2) + command(CmdTarget, DirRead, 0));
    const QByteArray expected =
        command(CmdP, DirWrite, 2, 1.5f) + command(CmdTarget, DirWrite, 0, defaultTargets[0]);
    QCOMPARE(readAtLeast(port, int(expected.size())).toHex(' '), expected.toHex(' '));

    sim.signal(SIGTERM);
    QVERIFY(sim.process.waitForFinished(15000));
    const QJsonObject report = readReport(reportPath);
    QCOMPARE(number(report, "received_frames"), qint64(3));
    QCOMPARE(number(report, "skipped_bytes"), qint64(4));
    QCOMPARE(number(report, "command_frames"), qint64(2));
}

void BoardSimProcessTest::stopSignals_data()
{
    QTest::addColumn<int>("signalNumber");
    QTest::addColumn<QString>("name");
    QTest::newRow("SIGINT") << int(SIGINT) << QStringLiteral("SIGINT");
    QTest::newRow("SIGTERM") << int(SIGTERM) << QStringLiteral("SIGTERM");
}

void BoardSimProcessTest::stopSignals()
{
    QFETCH(int, signalNumber);
    QFETCH(QString, name);

    const QString reportPath = dir.filePath(name + QStringLiteral(".json"));
    Simulator sim({QStringLiteral("--autostart"), QStringLiteral("--rate"), QStringLiteral("1000"),
                   QStringLiteral("--report"), reportPath});
    const QString path = sim.waitForPath();
    QSerialPort port;
    QVERIFY(openPort(port, path));
    QByteArray data = readAtLeast(port, 4000);
    sim.signal(signalNumber);
    data += readUntilExit(port, sim);
    QVERIFY(sim.finished());
    QCOMPARE(sim.process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(sim.process.exitCode(), 0);
    QVERIFY(sim.process.readAllStandardError().contains(name.toLatin1()));

    // Every frame the board counts as sent arrived, whole, and nothing more.
    const QJsonObject report = readReport(reportPath);
    QCOMPARE(report.value(QLatin1String("end")).toString(), name);
    QCOMPARE(number(report, "bytes"), qint64(data.size()));
    QCOMPARE(number(report, "data_frames") * FrameSize, qint64(data.size()));
    QVERIFY(number(report, "data_frames") >= 400);
}

void BoardSimProcessTest::errorRateCorruptsExactly()
{
    // Two noiseless runs from the same seed differ only where the errors went in.
    QByteArray runs[2];
    qint64 corrupted[2] = {-1, -1};
    for (int run = 0; run < 2; ++run) {
        const QString reportPath = dir.filePath(QStringLiteral("errors%1.json").arg(run));
        QStringList args{QStringLiteral("--noise"),  QStringLiteral("0"),
                         QStringLiteral("--frames"), QStringLiteral("200"),
                         QStringLiteral("--report"), reportPath};
        if (run == 1)
            args << QStringLiteral("--error-rate") << QStringLiteral("10");
        Simulator sim(args);
        QSerialPort port;
        QVERIFY(openPort(port, sim.waitForPath()));
        port.write(command(CmdStart, DirRead, 0));
        runs[run] = readUntilExit(port, sim);
        QCOMPARE(sim.process.exitCode(), 0);
        corrupted[run] = number(readReport(reportPath), "corrupted_bytes");
    }
    QCOMPARE(runs[0].size(), 2000);
    QCOMPARE(runs[1].size(), 2000);
    int differing = 0;
    for (int i = 0; i < 2000; ++i)
        differing += runs[0][i] != runs[1][i] ? 1 : 0;
    QCOMPARE(corrupted[0], qint64(0));
    QCOMPARE(corrupted[1], qint64(200));
    QCOMPARE(differing, 200);
}

void BoardSimProcessTest::closingThePortStopsTheStream()
{
    const QString reportPath = dir.filePath(QStringLiteral("hangup.json"));
    Simulator sim({QStringLiteral("--report"), reportPath});
    const QString path = sim.waitForPath();
    {
        QSerialPort port;
        QVERIFY(openPort(port, path));
        port.write(command(CmdStart, DirRead, 0));
        QVERIFY(readAtLeast(port, 400).size() >= 400);
    } // closed mid-run, as the program does when its port closes during a run

    // Reopened: the board stopped with the hang-up and sends nothing until started again.
    QTest::qWait(300);
    QSerialPort port;
    QVERIFY(openPort(port, path));
    QCOMPARE(readFor(port, 600).size(), 0);
    port.write(command(CmdStart, DirRead, 0));
    const QByteArray again = readAtLeast(port, 40);
    QVERIFY(again.size() >= 40);
    QCOMPARE(again.at(0), '0'); // a fresh stream starts on a frame boundary

    sim.signal(SIGTERM);
    readUntilExit(port, sim);
    const QJsonObject report = readReport(reportPath);
    QCOMPARE(number(report, "hangups"), qint64(1));
    QCOMPARE(number(report, "starts"), qint64(2));
    QCOMPARE(number(report, "stops"), qint64(1));
}

void BoardSimProcessTest::badArguments_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("message");

    QTest::newRow("rate not a number") << QStringList{"--rate", "abc"} << "--rate";
    QTest::newRow("rate zero") << QStringList{"--rate", "0"} << "--rate";
    QTest::newRow("unknown read") << QStringList{"--send-read", "X"} << "--send-read";
    QTest::newRow("negative frame count") << QStringList{"--frames", "-1"} << "--frames";
    QTest::newRow("error rate zero") << QStringList{"--error-rate", "0"} << "--error-rate";
    QTest::newRow("odd baud rate") << QStringList{"--baud", "12345"} << "--baud";
    QTest::newRow("negative noise") << QStringList{"--noise", "-1"} << "--noise";
    QTest::newRow("missing device")
        << QStringList{"--device", "/nonexistent/ttyUSB9"} << "cannot open";
    QTest::newRow("not a serial device")
        << QStringList{"--device", "/dev/null"} << "not a serial device";
    QTest::newRow("unknown option") << QStringList{"--bogus"} << "bogus";
    QTest::newRow("stray argument") << QStringList{"stray"} << "unexpected argument";
}

void BoardSimProcessTest::badArguments()
{
    QFETCH(QStringList, args);
    QFETCH(QString, message);

    Simulator sim(args);
    QVERIFY(sim.process.waitForFinished(15000));
    QCOMPARE(sim.process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(sim.process.exitCode(), 1);
    QVERIFY(sim.process.readAllStandardOutput().isEmpty());
    const QString err = QString::fromLocal8Bit(sim.process.readAllStandardError());
    QVERIFY2(err.contains(message), qPrintable(err));
}

QTEST_GUILESS_MAIN(BoardSimProcessTest)
#include "tst_boardsimprocess.moc"
