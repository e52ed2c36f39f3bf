// CSV export and import through the window: buttons, dialogs, boxes and messages.
#include "app/mainwindow.h"
#include "chart/pid_diagram.h"
#include "tests/modaldriver.h"

#include <QPushButton>
#include <QRandomGenerator>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QtTest>

namespace {

using Samples = QVector<QPair<float, float>>; // (actual, target) per sample
using Channels = QVector<Samples>;

void fill(PID_Diagram *diagram, const Channels &channels)
{
    for (int c = 0; c < channels.size(); ++c) {
        for (const auto &sample : channels[c]) {
            diagram->appendActual(c, sample.first);
            diagram->appendTarget(c, sample.second);
        }
    }
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray("<missing>");
    return file.readAll();
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.flush();
}

} // namespace

Q_DECLARE_METATYPE(Channels)

class CsvFilesTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void exportWritesChart_data();
    void exportWritesChart();
    void exportReplacesFile();
    void roundTripGivesSameBytes();
    void importAppendsRows_data();
    void importAppendsRows();
    void importTwiceContinues();
    void cancelledDialogs_data();
    void cancelledDialogs();
    void exportFailures_data();
    void exportFailures();
    void importFailures_data();
    void importFailures();

private:
    void clickExport(const QString &folder);
    void clickImport(const QString &file, std::function<void()> afterAccept = {});
    QString message() const { return window->statusBar()->currentMessage(); }
    QPushButton *button(const char *name) const
    {
        return window->findChild<QPushButton *>(QLatin1String(name));
    }

    QScopedPointer<MainWindow> window;
    QScopedPointer<ModalDriver> driver;
    QScopedPointer<QTemporaryDir> dir;
};

void CsvFilesTest::initTestCase()
{
    // The offscreen platform has no native dialogs; make sure Qt's own are used anywhere.
    QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
}

void CsvFilesTest::init()
{
    window.reset(new MainWindow);
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.data()));
    driver.reset(new ModalDriver);
    dir.reset(new QTemporaryDir);
    QVERIFY(dir->isValid());
}

void CsvFilesTest::cleanup()
{
    QVERIFY2(driver->problems().isEmpty(),
             qPrintable(driver->problems().join(QLatin1String("; "))));
    driver.reset();
    window.reset();
    dir.reset();
}

void CsvFilesTest::clickExport(const QString &folder)
{
    driver->answerFileDialog(folder);
    QTest::mouseClick(button("buttonExport"), Qt::LeftButton);
}

void CsvFilesTest::clickImport(const QString &file, std::function<void()> afterAccept)
{
    driver->answerFileDialog(file, std::move(afterAccept));
    QTest::mouseClick(button("buttonInport"), Qt::LeftButton);
}

void CsvFilesTest::exportWritesChart_data()
{
    QTest::addColumn<Channels>("channels");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("empty chart") << Channels(4) << QByteArray();
    QTest::newRow("one sample on channel 1")
        << Channels{{{3, 4}}, {}, {}, {}} << QByteArray("3,4,0,0,0,0,0,0,\n");
    QTest::newRow("ragged channels, number forms")
        << Channels{{{0.1f, 1234567.0f}},
                    {{-0.00001f, 1.0f / 3.0f}, {7, 8}},
                    {{-12.5f, 100000.0f}},
                    {}}
        << QByteArray("0.1,1.23457e+06,-1e-05,0.333333,-12.5,100000,0,0,\n"
                      "0,0,7,8,0,0,0,0,\n");
}

void CsvFilesTest::exportWritesChart()
{
    QFETCH(Channels, channels);
    QFETCH(QByteArray, expected);

    fill(window->pidDiagram(), channels);
    clickExport(dir->path());
    QCOMPARE(driver->fileDialogsSeen(), 1);
    QVERIFY(driver->boxesSeen().isEmpty());
    QCOMPARE(message(), QStringLiteral("导出成功！"));
    QCOMPARE(readAll(dir->filePath(QStringLiteral("Export.csv"))), expected);
}

void CsvFilesTest::exportReplacesFile()
{
    const QString path = dir->filePath(QStringLiteral("Export.csv"));
    QVERIFY(writeFile(path, QByteArray(4096, 'x')));
    fill(window->pidDiagram(), {{{3, 4}}, {}, {}, {}});
    clickExport(dir->path());
    QCOMPARE(readAll(path), QByteArray("3,4,0,0,0,0,0,0,\n"));
}

// Export, clear, import, export again: the second file is the first, byte for byte.
void CsvFilesTest::roundTripGivesSameBytes()
{
    QRandomGenerator random(7);
    Channels channels(4);
    const int lengths[] = {120, 300, 0, 45};
    for (int c = 0; c < 4; ++c)
        for (int i = 0; i < lengths[c]; ++i)
            channels[c].append({float(random.generateDouble() * 2000 - 1000),
                                float(random.generateDouble() / 1000)});
    fill(window->pidDiagram(), channels);

    QTemporaryDir second;
    clickExport(dir->path());
    QCOMPARE(message(), QStringLiteral("导出成功！"));
    const QByteArray first = readAll(dir->filePath(QStringLiteral("Export.csv")));
    QCOMPARE(first.count('\n'), 300);

    QTest::mouseClick(button("buttonClear"), Qt::LeftButton);
    QCOMPARE(window->pidDiagram()->sampleCounts(), (QVector<quint32>{0, 0, 0, 0}));

    clickImport(dir->filePath(QStringLiteral("Export.csv")));
    QCOMPARE(message(), QStringLiteral("成功导入300个点"));
    // Every channel comes back padded to the longest.
    QCOMPARE(window->pidDiagram()->sampleCounts(), (QVector<quint32>{300, 300, 300, 300}));

    clickExport(second.path());
    QCOMPARE(readAll(second.filePath(QStringLiteral("Export.csv"))), first);
}

void CsvFilesTest::importAppendsRows_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("expectedMessage");
    QTest::addColumn<quint32>("expectedCount");
    QTest::addColumn<QVector<QPointF>>("channel1Actual");
    QTest::addColumn<QVector<QPointF>>("channel1Target");
    QTest::addColumn<QVector<QPointF>>("channel4Target");

    const QVector<QPointF> none;
    QTest::newRow("exported row") << QByteArray("3,4,0,0,0,0,0,0,\n")
                                  << QStringLiteral("成功导入1个点") << 1u
                                  << QVector<QPointF>{{0, 3}} << QVector<QPointF>{{1, 4}}
                                  << QVector<QPointF>{{1, 0}};
    QTest::newRow("CR LF") << QByteArray("3,4,0,0,0,0,0,0,\r\n5,6,0,0,0,0,0,8,\r\n")
                           << QStringLiteral("成功导入2个点") << 2u
                           << QVector<QPointF>{{0, 3}, {1, 5}} << QVector<QPointF>{{1, 4}, {2, 6}}
                           << QVector<QPointF>{{1, 0}, {2, 8}};
    QTest::newRow("short line skipped but counted")
        << QByteArray("1,2,3,4,5,6,7\n9,8,7,6,5,4,3,2\n") << QStringLiteral("成功导入2个点") << 1u
        << QVector<QPointF>{{0, 9}} << QVector<QPointF>{{1, 8}} << QVector<QPointF>{{1, 2}};
    QTest::newRow("empty file") << QByteArray() << QStringLiteral("成功导入0个点") << 0u << none
                                << none << none;
}

void CsvFilesTest::importAppendsRows()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, expectedMessage);
    QFETCH(quint32, expectedCount);
    QFETCH(QVector<QPointF>, channel1Actual);
    QFETCH(QVector<QPointF>, channel1Target);
    QFETCH(QVector<QPointF>, channel4Target);

    const QString path = dir->filePath(QStringLiteral("data.csv"));
    QVERIFY(writeFile(path, bytes));
    clickImport(path);
    QVERIFY(driver->boxesSeen().isEmpty());
    QCOMPARE(message(), expectedMessage);
    const PID_Diagram *diagram = window->pidDiagram();
    QCOMPARE(diagram->sampleCounts(), QVector<quint32>(4, expectedCount));
    const QVector<QVector<QPointF>> points = diagram->allPoints();
    QCOMPARE(points[0], channel1Actual);
    QCOMPARE(points[1], channel1Target);
    QCOMPARE(points[7], channel4Target);
}

void CsvFilesTest::importTwiceContinues()
{
    const QString path = dir->filePath(QStringLiteral("one.csv"));
    QVERIFY(writeFile(path, "3,4,0,0,0,0,0,0,\n"));
    clickImport(path);
    clickImport(path);
    QCOMPARE(message(), QStringLiteral("成功导入1个点"));
    const QVector<QVector<QPointF>> points = window->pidDiagram()->allPoints();
    QCOMPARE(points[0], (QVector<QPointF>{{0, 3}, {1, 3}}));
    QCOMPARE(points[1], (QVector<QPointF>{{1, 4}, {2, 4}}));
}

void CsvFilesTest::cancelledDialogs_data()
{
    QTest::addColumn<bool>("exporting");
    QTest::addColumn<QString>("expectedMessage");
    QTest::newRow("export") << true << QStringLiteral("导出失败！");
    QTest::newRow("import") << false << QStringLiteral("导入失败！");
}

void CsvFilesTest::cancelledDialogs()
{
    QFETCH(bool, exporting);
    QFETCH(QString, expectedMessage);

    fill(window->pidDiagram(), {{{3, 4}}, {}, {}, {}});
    if (exporting)
        clickExport(QString());
    else
        clickImport(QString());

    QCOMPARE(driver->fileDialogsSeen(), 1);
    const QList<ModalDriver::Box> boxes = driver->boxesSeen();
    QCOMPARE(boxes.size(), 1);
    QCOMPARE(boxes[0].title, QStringLiteral("警告"));
    QCOMPARE(boxes[0].text, QStringLiteral("非法路径， 请选择合法路径！"));
    QCOMPARE(boxes[0].buttons, QMessageBox::StandardButtons(QMessageBox::Cancel));
    QCOMPARE(boxes[0].icon, QMessageBox::Critical);
    QCOMPARE(message(), expectedMessage);
    QCOMPARE(window->pidDiagram()->sampleCounts(), (QVector<quint32>{1, 0, 0, 0}));
    QVERIFY(QDir(dir->path()).isEmpty());
}

void CsvFilesTest::exportFailures_data()
{
    QTest::addColumn<QString>("obstacle");
    QTest::newRow("Export.csv is a folder") << QStringLiteral("folder");
    QTest::newRow("disk full") << QStringLiteral("full");
}

void CsvFilesTest::exportFailures()
{
    QFETCH(QString, obstacle);

    const QString path = dir->filePath(QStringLiteral("Export.csv"));
    if (obstacle == QLatin1String("folder")) {
        QVERIFY(QDir(dir->path()).mkdir(QStringLiteral("Export.csv")));
    } else {
        if (!QFileInfo::exists(QStringLiteral("/dev/full")))
            QSKIP("no /dev/full here");
        QVERIFY(QFile::link(QStringLiteral("/dev/full"), path));
    }
    fill(window->pidDiagram(), {{{3, 4}, {5, 6}}, {}, {}, {}});
    clickExport(dir->path());
    QVERIFY(driver->boxesSeen().isEmpty());
    QCOMPARE(message(), QStringLiteral("导出失败！"));
}

void CsvFilesTest::importFailures_data()
{
    QTest::addColumn<QString>("obstacle");
    QTest::addColumn<QString>("expectedMessage");
    QTest::newRow("file gone after choosing")
        << QStringLiteral("gone") << QStringLiteral("导入失败！");
    QTest::newRow("file too large")
        << QStringLiteral("large") << QStringLiteral("导入失败！文件过大（超过64 MB）");
    QTest::newRow("too many lines")
        << QStringLiteral("lines") << QStringLiteral("导入失败！文件行数过多（超过1000000行）");
}

void CsvFilesTest::importFailures()
{
    QFETCH(QString, obstacle);
    QFETCH(QString, expectedMessage);

    const QString path = dir->filePath(QStringLiteral("data.csv"));
    std::function<void()> afterAccept;
    if (obstacle == QLatin1String("gone")) {
        QVERIFY(writeFile(path, "1,2,3,4,5,6,7,8,\n"));
        afterAccept = [path] { QFile::remove(path); };
    } else if (obstacle == QLatin1String("large")) {
        // Sparse: takes no disk space.
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QVERIFY(file.resize(64 * 1024 * 1024 + 1));
    } else {
        QVERIFY(writeFile(path, QByteArray(1000001, '\n')));
    }
    fill(window->pidDiagram(), {{{3, 4}}, {}, {}, {}});

    clickImport(path, afterAccept);
    QVERIFY(driver->boxesSeen().isEmpty());
    QCOMPARE(message(), expectedMessage);
    QCOMPARE(window->pidDiagram()->sampleCounts(), (QVector<quint32>{1, 0, 0, 0}));
}

QTEST_MAIN(CsvFilesTest)
#include "tst_csvfiles.moc"
