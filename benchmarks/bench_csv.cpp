// Export and import of 10,000 rows: through the codec alone, through the window's buttons
// (file dialogs answered by a driver, timed from the dialog's accept to the slot's return),
// and the plain way: QTextStream with QString::number per field out of the series, readLine
// and split back into series that take one append per sample. Then a long history
// (--long-rows) through the window: time, the event loop's longest wait and memory.
#include "app/mainwindow.h"
#include "benchmarks/benchapp.h"
#include "benchmarks/benchoptions.h"
#include "benchmarks/latenessprobe.h"
#include "benchmarks/naivechart.h"
#include "benchmarks/processstats.h"
#include "benchmarks/streamdata.h"
#include "chart/pid_diagram.h"
#include "datafiles/csvcodec.h"
#include "datafiles/csvdecoder.h"
#include "tests/support/modaldriver.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QPushButton>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>
#include <QTimer>
#include <QtCharts/QChartView>
#include <QtCharts/QLineSeries>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

QT_CHARTS_USE_NAMESPACE

namespace {

constexpr int Rows = 10000;

double medianMs(int runs, const std::function<void()> &prepare, const std::function<void()> &work)
{
    std::vector<double> times;
    QElapsedTimer clock;
    for (int r = 0; r < runs; ++r) {
        prepare();
        clock.start();
        work();
        times.push_back(clock.nsecsElapsed() / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

void fill(PID_Diagram *diagram)
{
    diagram->clearAll();
    for (int i = 0; i < Rows; ++i)
        for (int c = 0; c < 4; ++c) {
            diagram->append(c, sampleWave(c, i), sampleWave(c, i) + 1);
        }
}

// Clicks `button` and returns the time from the dialog's accept to the click's return.
double clickThroughDialog(ModalDriver &driver, QPushButton *button, const QString &answer)
{
    QElapsedTimer clock;
    driver.answerFileDialog(answer, [&] { clock.start(); });
    QTest::mouseClick(button, Qt::LeftButton);
    return clock.isValid() ? clock.nsecsElapsed() / 1e6 : -1;
}

double naiveExport(const QString &path, NaiveChart &chart)
{
    QElapsedTimer clock;
    clock.start();
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return -1;
    QVector<QVector<QPointF>> points;
    for (int s = 0; s < NaiveChart::SeriesCount; ++s)
        points.append(QtCompat::seriesPoints(*chart.series(s)));
    QTextStream out(&file);
    for (int i = 0; i < Rows; ++i) {
        for (int s = 0; s < NaiveChart::SeriesCount; ++s)
            out << (i < points[s].size() ? QString::number(points[s][i].y()) : QStringLiteral("0"))
                << ',';
        out << '\n';
    }
    out.flush();
    return clock.nsecsElapsed() / 1e6;
}

// The rows per second the plain import manages within `budgetMs`, extrapolated to all rows.
double naiveImport(const QString &path, double budgetMs, int *rowsDone)
{
    QChartView view;
    view.resize(800, 500);
    view.show();
    NaiveChart chart(&view);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    QElapsedTimer clock;
    clock.start();
    QTextStream in(&file);
    int rows = 0;
    while (!in.atEnd() && clock.elapsed() < budgetMs) {
        const QStringList fields = in.readLine().split(QLatin1Char(','));
        if (fields.size() < 8)
            continue;
        for (int c = 0; c < 4; ++c) {
            chart.appendActual(c, fields.at(2 * c).toFloat());
            chart.appendTarget(c, fields.at(2 * c + 1).toFloat());
        }
        ++rows;
    }
    *rowsDone = rows;
    return clock.nsecsElapsed() / 1e6 * Rows / std::max(1, rows);
}

// A long history exported and imported through the window in slices: the time, the longest
// the event loop waited (a 1 ms probe), and resident memory beyond what it was before.
void longHistory(MainWindow &window, ModalDriver &driver, const QString &folder, quint32 rows)
{
    PID_Diagram *diagram = window.pidDiagram();
    diagram->clearAll();
    diagram->setHistoryLength(PID_Diagram::HistoryLengths.back());
    for (quint32 i = 0; i < rows; ++i) {
        for (int c = 0; c < 4; ++c) {
            diagram->append(c, sampleWave(c, int(i)), sampleWave(c, int(i)) + 1);
        }
    }
    std::printf("long history, %u rows: %8s %14s %14s %12s  %s\n", rows, "ms", "longest wait ms",
                "RSS peak +MiB", "chart MiB", "status");
    const auto transfer = [&](const char *what, const char *button, const QString &answer) {
        LatenessProbe probe;
        qint64 peak = 0;
        QTimer sampler;
        QObject::connect(&sampler, &QTimer::timeout,
                         [&peak] { peak = std::max(peak, ProcessStats::residentBytes()); });
        const qint64 before = ProcessStats::residentBytes();
        sampler.start(20);
        probe.start();
        const double ms = clickThroughDialog(
            driver, window.findChild<QPushButton *>(QLatin1String(button)), answer);
        QTest::qWait(50); // the wait the slot's last step caused, too
        probe.stop();
        peak = std::max(peak, ProcessStats::residentBytes());
        std::printf("  %-24s %8.0f %14.1f %14.1f %12.1f  %s\n", what, ms, probe.maxMs(),
                    (peak - before) / 1048576.0, diagram->samples().memoryBytes() / 1048576.0,
                    qPrintable(window.statusBar()->currentMessage()));
    };
    transfer("export", "buttonExport", folder);
    diagram->clearAll();
    diagram->setHistoryLength(PID_Diagram::SampleCap);
    transfer("import", "buttonInport", folder + QStringLiteral("/Export.csv"));
}

} // namespace

int main(int argc, char *argv[])
{
    quietPlatformWarnings();
    QApplication app(argc, argv);
    Q_INIT_RESOURCE(resources);
    const BenchOptions options(QApplication::arguments());
    const int runs = std::max(1, int(options.number("runs", 7)));
    const double naiveBudgetMs = std::max(100.0, options.number("naive-ms", 3000));
    std::printf("%s\n", qPrintable(ProcessStats::machineLine()));

    QTemporaryDir dir;
    if (!dir.isValid()) {
        std::printf("no temporary folder\n");
        return 1;
    }
    const QString csvPath = dir.filePath(QStringLiteral("Export.csv"));

    MainWindow window;
    window.show();
    if (!QTest::qWaitForWindowExposed(&window))
        std::printf("the window was not exposed\n");
    PID_Diagram *diagram = window.pidDiagram();
    fill(diagram);

    // The codec alone, from the chart's buffers to bytes and back to rows.
    const QVector<QVector<QPointF>> points = diagram->allPoints();
    const QVector<quint32> counts = diagram->sampleCounts();
    QByteArray bytes;
    const double encodeMs = medianMs(
        runs, [] {}, [&] { bytes = CsvCodec::encode(points, counts); });
    QVector<CsvCodec::Row> rows;
    const double decodeMs = medianMs(
        runs, [] {},
        [&] {
            CsvDecoder decoder;
            rows.resize(0);
            decoder.feed(bytes, rows);
            decoder.finish(rows);
        });
    if (rows.size() != Rows)
        std::printf("decode gave %d rows, not %d\n", int(rows.size()), Rows);

    // Through the window: buttons, dialogs, file, chart.
    ModalDriver driver;
    auto *exportButton = window.findChild<QPushButton *>(QStringLiteral("buttonExport"));
    auto *importButton = window.findChild<QPushButton *>(QStringLiteral("buttonInport"));
    std::vector<double> exportTimes;
    std::vector<double> importTimes;
    for (int r = 0; r < runs; ++r) {
        exportTimes.push_back(clickThroughDialog(driver, exportButton, dir.path()));
        if (window.statusBar()->currentMessage() != QStringLiteral("导出成功！"))
            std::printf("export said \"%s\"\n", qPrintable(window.statusBar()->currentMessage()));
    }
    const QByteArray written = [&] {
        QFile file(csvPath);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }();
    if (written != bytes)
        std::printf("the exported file differs from the codec's bytes\n");
    for (int r = 0; r < runs; ++r) {
        diagram->clearAll();
        importTimes.push_back(clickThroughDialog(driver, importButton, csvPath));
        if (diagram->sampleCounts().at(0) != quint32(Rows))
            std::printf("import left %u samples, not %d\n", diagram->sampleCounts().at(0), Rows);
    }
    // The same clicks with nothing to write or read: what the dialog's closing costs.
    std::vector<double> exportEmpty;
    std::vector<double> importEmpty;
    const QString emptyPath = dir.filePath(QStringLiteral("empty.csv"));
    QFile(emptyPath).open(QIODevice::WriteOnly);
    diagram->clearAll();
    for (int r = 0; r < runs; ++r) {
        exportEmpty.push_back(clickThroughDialog(driver, exportButton, dir.path()));
        importEmpty.push_back(clickThroughDialog(driver, importButton, emptyPath));
    }
    std::sort(exportEmpty.begin(), exportEmpty.end());
    std::sort(importEmpty.begin(), importEmpty.end());
    for (const QString &problem : driver.problems)
        std::printf("dialog driver: %s\n", qPrintable(problem));
    std::sort(exportTimes.begin(), exportTimes.end());
    std::sort(importTimes.begin(), importTimes.end());

    // The plain way, on the same samples.
    QChartView naiveView;
    naiveView.resize(800, 500);
    naiveView.show();
    NaiveChart naiveChart(&naiveView);
    for (int c = 0; c < 4; ++c) {
        QVector<QPointF> actual;
        QVector<QPointF> target;
        for (int i = 0; i < Rows; ++i) {
            actual.append(QPointF(i, double(sampleWave(c, i))));
            target.append(QPointF(i + 1, double(sampleWave(c, i) + 1)));
        }
        naiveChart.load(c, actual, target);
    }
    const QString naivePath = dir.filePath(QStringLiteral("naive.csv"));
    const double naiveExportMs = medianMs(
        runs, [] {}, [&] { naiveExport(naivePath, naiveChart); });
    int naiveRows = 0;
    const double naiveImportMs = naiveImport(naivePath, naiveBudgetMs, &naiveRows);

    std::printf("CSV, %d rows x 8 fields (%.2f MB), median of %d runs\n", Rows, bytes.size() / 1e6,
                runs);
    const double exportMs = exportTimes[exportTimes.size() / 2];
    const double importMs = importTimes[importTimes.size() / 2];
    const double exportDialogMs = exportEmpty[exportEmpty.size() / 2];
    const double importDialogMs = importEmpty[importEmpty.size() / 2];
    std::printf("%-8s %9s %10s %11s %10s %10s %8s\n", "", "codec ms", "window ms", "of which",
                "slot ms", "naive ms", "ratio");
    std::printf("%-8s %9s %10s %11s %10s %10s %8s\n", "", "", "", "dialog ms", "", "", "");
    std::printf("%-8s %9.2f %10.2f %11.2f %10.2f %10.2f %7.1fx\n", "export", encodeMs, exportMs,
                exportDialogMs, exportMs - exportDialogMs, naiveExportMs,
                naiveExportMs / (exportMs - exportDialogMs));
    std::printf("%-8s %9.2f %10.2f %11.2f %10.2f %10.0f %7.0fx\n", "import", decodeMs, importMs,
                importDialogMs, importMs - importDialogMs, naiveImportMs,
                naiveImportMs / (importMs - importDialogMs));
    std::printf("window: from the dialog's accept to the slot's return; dialog: the same click "
                "with an empty chart or file; slot = window - dialog (file and chart included)\n");
    std::printf("naive import: %d rows in %.0f ms, extrapolated to %d rows\n", naiveRows,
                naiveBudgetMs, Rows);
    std::printf("target: export within 50 ms, import within 100 ms\n");
    printFigure("csv_export_10000_ms", exportMs, "ms");
    printFigure("csv_import_10000_ms", importMs, "ms");
    const quint32 longRows = quint32(std::max(0.0, options.number("long-rows", 1000000)));
    if (longRows > 0)
        longHistory(window, driver, dir.path(), longRows);
    std::printf("load average after: %s\n", qPrintable(ProcessStats::loadAverage()));
    return 0;
}
