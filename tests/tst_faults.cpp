// Faults the program must survive: an adapter pulled out mid-run and a new one plugged in, a
// board flooding garbage, oversized CSV files and an export onto a full file system.
// TAVRINO_FAULTS_LONG=1 makes the flood last a minute and the CSV file really 200 MB.
#include "app/mainwindow.h"
#include "chart/pid_diagram.h"
#include "pidlink/pidframe.h"
#include "tests/soak/loopprobe.h"
#include "tests/support/modaldriver.h"
#include "tests/support/pseudoterminal.h"
#include "tests/support/smalldisk.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSerialPort>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>
#include <QtCharts/QValueAxis>
#include <QtTest>

#include <cmath>
#include <limits>
#include <memory>

namespace {
constexpr int Patience = 10000; // ms; generous for a loaded machine

bool longRun()
{
    return qEnvironmentVariableIntValue("TAVRINO_FAULTS_LONG") != 0;
}

QByteArray sample(int channel, float actual, float target)
{
    char frame[FrameSize];
    frame[0] = char('0' + channel);
    putFloatLE(frame + 1, actual);
    putFloatLE(frame + 5, target);
    frame[9] = '\n';
    return QByteArray(frame, FrameSize);
}

QVector<quint64> numbersIn(const QString &text)
{
    QVector<quint64> numbers;
    auto it = QRegularExpression(QStringLiteral("\\d+")).globalMatch(text);
    while (it.hasNext())
        numbers.append(it.next().captured().toULongLong());
    return numbers;
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

} // namespace

class FaultsTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void unplugDuringRun_data();
    void unplugDuringRun();
    void garbageFlood_data();
    void garbageFlood();
    void nonFiniteSamples_data();
    void nonFiniteSamples();
    void oversizedImport_data();
    void oversizedImport();
    void exportOntoFullDisk_data();
    void exportOntoFullDisk();
    void chartViewKeepsNoStrayChart();

private:
    template <typename T> T *child(const char *name)
    {
        T *widget = window->findChild<T *>(QLatin1String(name));
        if (!widget)
            qFatal("no widget %s", name);
        return widget;
    }
    void click(const char *name) { QTest::mouseClick(child<QWidget>(name), Qt::LeftButton); }
    QString message() const { return window->statusBar()->currentMessage(); }
    QString buttonText(const char *name) { return child<QPushButton>(name)->text(); }
    bool openPidPort(const PseudoTerminal &board);
    QVector<quint64> linkHealth();

    std::unique_ptr<MainWindow> window;
    std::unique_ptr<ModalDriver> driver;
};

void FaultsTest::initTestCase()
{
    QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
}

void FaultsTest::init()
{
    window = std::make_unique<MainWindow>();
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    driver = std::make_unique<ModalDriver>();
}

void FaultsTest::cleanup()
{
    QVERIFY2(driver->problems.isEmpty(), qPrintable(driver->problems.join(QLatin1String("; "))));
    driver.reset();
    window.reset();
}

bool FaultsTest::openPidPort(const PseudoTerminal &board)
{
    QLineEdit *edit = child<QComboBox>("comboPortPID")->lineEdit();
    edit->clear();
    QTest::keyClicks(edit, board.slavePath());
    click("buttonOpenportPID");
    return buttonText("buttonOpenportPID") == QStringLiteral("关闭串口");
}

QVector<quint64> FaultsTest::linkHealth()
{
    // The label is refreshed four times a second.
    QTest::qWait(400);
    return numbersIn(child<QLabel>("labelLinkHealth")->text());
}

void FaultsTest::unplugDuringRun_data()
{
    QTest::addColumn<bool>("stringMode");
    QTest::addColumn<QByteArray>("lastWords");  // what the old adapter sent before it went
    QTest::addColumn<QByteArray>("firstWords"); // the first thing through the new one

    const QByteArray frame = sample(1, 7.0f, 8.0f);
    QTest::newRow("binary, between frames") << false << QByteArray() << frame;
    QTest::newRow("binary, mid-frame") << false << sample(0, 1.0f, 2.0f).left(5) << frame;
    QTest::newRow("string, between lines")
        << true << QByteArray() << QByteArray("5,6,7,8,9,10,11,12\n");
    // Glued to the half line of the old adapter this would make twelve fields, read as a
    // sample that never existed.
    QTest::newRow("string, mid-line")
        << true << QByteArray("1,2,3,4,") << QByteArray("5,6,7,8,9,10,11,12\n");
}

void FaultsTest::unplugDuringRun()
{
    QFETCH(bool, stringMode);
    QFETCH(QByteArray, lastWords);
    QFETCH(QByteArray, firstWords);

    if (stringMode)
        click("checkStringMode");
    auto board = std::make_unique<PseudoTerminal>();
    QVERIFY(openPidPort(*board));
    click("buttonStart");
    QCOMPARE(buttonText("buttonStart"), QStringLiteral("停止"));
    const QByteArray whole = stringMode ? QByteArray("1,1,1,1,1,1,1,1\n") : sample(0, 1, 1);
    QVERIFY(board->write(whole + lastWords));
    QTRY_COMPARE_WITH_TIMEOUT(window->pidDiagram()->samplesAppended(), quint64(stringMode ? 4 : 1),
                              Patience);
    QTest::qWait(100); // the last words reach the program too

    board->hangUp();
    QTRY_COMPARE_WITH_TIMEOUT(message(), QStringLiteral("串口已断开"), Patience);
    QCOMPARE(buttonText("buttonOpenportPID"), QStringLiteral("打开串口"));
    QCOMPARE(buttonText("buttonStart"), QStringLiteral("开始"));
    QVERIFY(!child<QPushButton>("buttonStart")->isEnabled());
    QVERIFY(!window->serialPort()->isOpen());

    // A new adapter, at a new path, opened through the widgets; the run goes on.
    board = std::make_unique<PseudoTerminal>();
    QVERIFY(openPidPort(*board));
    click("buttonStart");
    QCOMPARE(board->read(FrameSize, Patience).toHex(' '),
             QByteArray::fromHex("43 07 00 00 00 00 00 00 00 0a").toHex(' '));
    const quint64 before = window->pidDiagram()->samplesAppended();
    QVERIFY(board->write(firstWords));
    QTRY_COMPARE_WITH_TIMEOUT(window->pidDiagram()->samplesAppended(),
                              before + (stringMode ? 4 : 1), Patience);
    QTest::qWait(200);
    QCOMPARE(window->pidDiagram()->samplesAppended(), before + (stringMode ? 4 : 1));

    // Only what the new adapter sent, nothing of the old one's last words.
    const QVector<QVector<QPointF>> points = window->pidDiagram()->allPoints();
    if (stringMode) {
        for (int s = 0; s < 8; ++s)
            QCOMPARE(points[s].constLast().y(), 5.0 + s);
    } else {
        QCOMPARE(points[2].constLast().y(), 7.0);
        QCOMPARE(points[3].constLast().y(), 8.0);
    }
    const QVector<quint64> health = linkHealth();
    QCOMPARE(health.size(), 3);
    QCOMPARE(health[1], quint64(0)); // nothing dropped in the new session
    QCOMPARE(message(), QStringLiteral("开始PID调试"));
}

void FaultsTest::garbageFlood_data()
{
    QTest::addColumn<bool>("stringMode");
    QTest::addColumn<bool>("autoScroll");
    QTest::newRow("binary") << false << false;
    QTest::newRow("binary, auto-scroll") << false << true;
    QTest::newRow("string") << true << false;
    QTest::newRow("string, auto-scroll") << true << true;
}

void FaultsTest::garbageFlood()
{
    QFETCH(bool, stringMode);
    QFETCH(bool, autoScroll);

    const int seconds = longRun() ? 60 : 2;
    if (stringMode)
        click("checkStringMode");
    if (autoScroll)
        click("checkAuto");
    PseudoTerminal board;
    QVERIFY(openPidPort(board));
    click("buttonStart");

    LoopProbe probe;
    probe.start();
    QRandomGenerator random(42);
    QByteArray chunk(4096, '\0');
    quint64 written = 0;
    QElapsedTimer clock;
    clock.start();
    quint32 mostSamples = 0;
    while (clock.elapsed() < seconds * 1000) {
        for (char &byte : chunk)
            byte = char(random.generate());
        QVERIFY(board.write(chunk));
        written += quint64(chunk.size());
        QCoreApplication::processEvents();
        for (quint32 count : window->pidDiagram()->sampleCounts())
            mostSamples = std::max(mostSamples, count);
    }
    // Garbage ends; a clean sample follows and is plotted as sent.
    const QByteArray clear = stringMode ? QByteArray("\n") : QByteArray(10, 'x');
    const QByteArray clean =
        stringMode ? QByteArray("1.5,2.5,0,0,0,0,0,0\n") : sample(0, 1.5f, 2.5f);
    const quint64 before = window->pidDiagram()->samplesAppended();
    QVERIFY(board.write(clear + clean));
    written += quint64(clear.size() + clean.size());
    QTRY_VERIFY_WITH_TIMEOUT(window->pidDiagram()->samplesAppended() > before, Patience);
    QTest::qWait(200);
    probe.stop();

    qInfo("%llu bytes of garbage in %d s, event loop at most %lld ms late, %lld ticks late",
          (unsigned long long)written, seconds, (long long)probe.maxLatenessMs(),
          (long long)probe.lateTicks());
    QVERIFY2(probe.maxLatenessMs() < 3000, "the window hung while the board flooded it");
    // The redraw keeps the chart at its cap; garbage cannot pile up there.
    QVERIFY(mostSamples < 2 * PID_Diagram::SampleCap);
    const QVector<QVector<QPointF>> points = window->pidDiagram()->allPoints();
    QCOMPARE(points[0].constLast().y(), 1.5);
    QCOMPARE(points[1].constLast().y(), 2.5);

    const QVector<quint64> health = linkHealth();
    QCOMPARE(health.size(), 3);
    if (!stringMode) {
        // Every byte is a frame's or was dropped; nothing is kept back after the clean frame.
        QCOMPARE(health[0] * 10 + health[1], written);
    }

    // The view stays usable: garbage may hold infinities and NaN, the axes may not.
    QTest::qWait(200);
    const QtCharts::QValueAxis *axis = window->pidDiagram()->verticalAxis();
    QVERIFY2(
        std::isfinite(axis->min()) && std::isfinite(axis->max()),
        qPrintable(QStringLiteral("vertical axis %1 .. %2").arg(axis->min()).arg(axis->max())));
    QVERIFY(axis->min() < axis->max());
}

void FaultsTest::nonFiniteSamples_data()
{
    QTest::addColumn<bool>("stringMode");
    QTest::addColumn<QByteArray>("bytes");
    const float inf = std::numeric_limits<float>::infinity();
    QTest::newRow("binary, infinite actual") << false << sample(0, inf, 1.0f);
    QTest::newRow("binary, infinite target") << false << sample(0, 1.0f, -inf);
    QTest::newRow("string, infinities") << true << QByteArray("inf,-inf,0,0,0,0,0,0\n");
    QTest::newRow("string, NaN") << true << QByteArray("nan,nan,nan,nan,nan,nan,nan,nan\n");
}

void FaultsTest::nonFiniteSamples()
{
    QFETCH(bool, stringMode);
    QFETCH(QByteArray, bytes);

    if (stringMode)
        click("checkStringMode");
    click("checkAuto");
    PseudoTerminal board;
    QVERIFY(openPidPort(board));
    click("buttonStart");
    QByteArray clean;
    for (int i = 0; i < 20; ++i)
        clean += stringMode ? QByteArray("1,2,1,2,1,2,1,2\n") : sample(0, 1.0f, 2.0f);
    QVERIFY(board.write(clean + bytes + clean));
    QTRY_COMPARE_WITH_TIMEOUT(window->pidDiagram()->samplesAppended(),
                              quint64(stringMode ? 41 * 4 : 41), Patience);
    // The fit of the clean samples (1 and 2, from 0) as if the damaged one were not there.
    const QtCharts::QValueAxis *axis = window->pidDiagram()->verticalAxis();
    QTRY_COMPARE_WITH_TIMEOUT(axis->min(), -0.2, Patience);
    QCOMPARE(axis->max(), 2.2);
}

void FaultsTest::oversizedImport_data()
{
    QTest::addColumn<qint64>("size");
    QTest::addColumn<bool>("dense"); // written out rather than sparse
    QTest::addColumn<QString>("expectedMessage");

    const QString tooLarge = QStringLiteral("导入失败！文件过大（超过64 MB）");
    QTest::newRow("200 MB, sparse") << qint64(200) * 1024 * 1024 << false << tooLarge;
    if (longRun())
        QTest::newRow("200 MB of rows") << qint64(200) * 1024 * 1024 << true << tooLarge;
    QTest::newRow("1,000,001 empty lines")
        << qint64(1000001) << true << QStringLiteral("导入失败！文件行数过多（超过1000000行）");
}

void FaultsTest::oversizedImport()
{
    QFETCH(qint64, size);
    QFETCH(bool, dense);
    QFETCH(QString, expectedMessage);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("big.csv"));
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        if (!dense) {
            QVERIFY(file.resize(size));
        } else if (size <= 1000001) {
            QVERIFY(file.write(QByteArray(int(size), '\n')) == size);
        } else {
            const QByteArray row("1.5,2,0.333333,100000,1.23457e+06,-12.5,1e-05,3,\n");
            QByteArray block;
            while (block.size() < 1024 * 1024 - row.size())
                block += row;
            for (qint64 done = 0; done < size; done += block.size())
                QVERIFY(file.write(block) == block.size());
        }
    }

    driver->answerFileDialog(path);
    click("buttonInport");
    QCOMPARE(message(), expectedMessage);
    QCOMPARE(window->pidDiagram()->samplesAppended(), quint64(0));
    QVERIFY(driver->boxes.isEmpty());
}

void FaultsTest::exportOntoFullDisk_data()
{
    QTest::addColumn<QString>("filesystem");
    QTest::newRow("tmpfs of 64 KiB") << QStringLiteral("tmpfs");
    QTest::newRow("file size limit of 64 KiB") << QStringLiteral("limit");
}

void FaultsTest::exportOntoFullDisk()
{
    QFETCH(QString, filesystem);

    std::unique_ptr<SmallDisk> tmpfs;
    std::unique_ptr<QTemporaryDir> plain;
    QString folder;
    if (filesystem == QLatin1String("tmpfs")) {
        tmpfs = std::make_unique<SmallDisk>("size=64k");
        if (!tmpfs->isMounted())
            QSKIP("mounting a tmpfs is not permitted here");
        folder = tmpfs->path();
    } else {
        plain = std::make_unique<QTemporaryDir>();
        QVERIFY(plain->isValid());
        folder = plain->path();
    }
    // An earlier export in that folder must survive a failed one.
    const QString path = folder + QStringLiteral("/Export.csv");
    const QByteArray earlier("1,2,3,4,5,6,7,8,\n");
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(file.write(earlier), qint64(earlier.size()));
    }

    // About 300 KB of rows.
    PID_Diagram *diagram = window->pidDiagram();
    for (int i = 0; i < 5000; ++i) {
        for (int c = 0; c < 4; ++c) {
            diagram->appendActual(c, 1000.125f + float(i));
            diagram->appendTarget(c, -2000.25f - float(i));
        }
    }

    std::unique_ptr<FileSizeLimit> limit;
    if (filesystem == QLatin1String("limit")) {
        limit = std::make_unique<FileSizeLimit>();
        QVERIFY(limit->isActive());
    }
    driver->answerFileDialog(folder);
    click("buttonExport");
    limit.reset();

    QCOMPARE(message(), QStringLiteral("导出失败！"));
    QVERIFY(driver->boxes.isEmpty());
    QCOMPARE(readAll(path), earlier);
    QCOMPARE(QDir(folder).entryList(QDir::Files), QStringList{QStringLiteral("Export.csv")});
}

void FaultsTest::chartViewKeepsNoStrayChart()
{
    // Every window would otherwise leak the chart its view made before ours replaced it.
    QtCharts::QChartView view;
    QPointer<QtCharts::QChart> own = view.chart();
    QVERIFY(own);
    {
        PID_Diagram diagram(&view);
        QVERIFY(view.chart() != own.data());
    }
    QVERIFY(own.isNull());
}

QTEST_MAIN(FaultsTest)
#include "tst_faults.moc"
