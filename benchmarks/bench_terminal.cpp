// Text into the serial assistant's receive box through a real pseudo-terminal, shown as text, as
// text with time stamps and in hexadecimal: a paced step each (1 MB/s for 20 s by default) with
// CPU, lateness and resident memory, then a flat-out burst for the most the box takes; the same
// through QTextEdit::append per arrival into a box without a limit, the plain way.
#include "app/mainwindow.h"
#include "assistant/receivelog.h"
#include "benchmarks/benchapp.h"
#include "benchmarks/benchoptions.h"
#include "benchmarks/latenessprobe.h"
#include "benchmarks/pacedwriter.h"
#include "benchmarks/processstats.h"
#include "benchmarks/streamdata.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QPushButton>
#include <QSerialPort>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QTextCursor>
#include <QTextEdit>
#include <QTime>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <functional>

namespace {

// Fast enough that the writer is never the limit: the reader sets the pace.
constexpr double FlatOutBytesPerSecond = 500e6;

struct Step
{
    double seconds = 0;
    double sentMB = 0;
    double mbPerSecond = 0;
    qint64 fullMs = 0;
    qint64 leftBytes = 0; // still unread when the drain gave up
    double p99Ms = 0;
    double maxMs = 0;
    double cpuPercent = 0;     // GUI thread
    double kernelPercent = 0;  // of it in the kernel
    double processPercent = 0; // whole process less the writer thread
    double rssStartMiB = 0;
    double rssEndMiB = 0;
    int paragraphs = 0;
};

Step runStep(PacedWriter &writer, double bytesPerSecond, double seconds,
             const std::function<qint64()> &unread, const std::function<int()> &paragraphs)
{
    Step step;
    step.rssStartMiB = ProcessStats::residentMiB();
    LatenessProbe probe;
    const double cpuStart = ProcessStats::threadCpuSeconds();
    const double systemStart = ProcessStats::threadSystemSeconds();
    const double processStart = ProcessStats::processCpuSeconds();
    const double wallStart = ProcessStats::monotonicSeconds();
    probe.start();
    writer.start(bytesPerSecond);
    runEventLoopFor(int(seconds * 1000));
    probe.stop();
    writer.requestStop();
    runEventLoopUntil([&] { return !writer.isRunning(); }, 15000);
    writer.stop();
    runEventLoopUntil([&] { return unread() == 0; }, 10000);
    const double wallEnd = ProcessStats::monotonicSeconds();
    const double cpuEnd = ProcessStats::threadCpuSeconds();
    const double systemEnd = ProcessStats::threadSystemSeconds();
    const double processEnd = ProcessStats::processCpuSeconds();

    step.seconds = wallEnd - wallStart;
    step.sentMB = writer.unitsWritten() / 1e6;
    step.leftBytes = unread();
    step.mbPerSecond = (writer.unitsWritten() - step.leftBytes) / 1e6 / step.seconds;
    step.fullMs = writer.fullMilliseconds();
    step.p99Ms = probe.quantileMs(0.99);
    step.maxMs = probe.maxMs();
    step.cpuPercent = 100.0 * (cpuEnd - cpuStart) / step.seconds;
    step.kernelPercent = 100.0 * (systemEnd - systemStart) / step.seconds;
    step.processPercent = 100.0 * (processEnd - processStart - writer.cpuSeconds()) / step.seconds;
    step.rssEndMiB = ProcessStats::residentMiB();
    step.paragraphs = paragraphs();
    return step;
}

void printHeader(const char *title)
{
    std::printf("\n%s\n", title);
    std::printf("%-9s %7s %8s %8s %7s %8s %8s %6s %8s %6s %9s %9s %10s\n", "step", "seconds",
                "sent MB", "MB/s", "full ms", "p99 ms", "max ms", "GUI %", "kernel %", "CPU %",
                "RSS start", "RSS end", "paragraphs");
}

void printStep(const char *name, const Step &s)
{
    std::printf("%-9s %7.1f %8.1f %8.2f %7lld %8.2f %8.2f %6.1f %8.1f %6.1f %9.1f %9.1f %10d%s\n",
                name, s.seconds, s.sentMB, s.mbPerSecond, static_cast<long long>(s.fullMs), s.p99Ms,
                s.maxMs, s.cpuPercent, s.kernelPercent, s.processPercent, s.rssStartMiB,
                s.rssEndMiB, s.paragraphs, s.leftBytes > 0 ? " (fell behind)" : "");
    std::fflush(stdout);
}

PacedWriter::Producer textProducer()
{
    return
        [](QByteArray &out, qint64 first, qint64 count) { appendTerminalText(out, first, count); };
}

// How the receive box shows what arrives.
struct Mode
{
    const char *name;
    const char *option; // for --only
    bool stamped;
    bool hex;
};

const Mode modes[] = {{"text", "text", false, false},
                      {"text, time stamps", "stamped", true, false},
                      {"hexadecimal", "hex", false, true}};

struct Worst
{
    double stampedPercent = 0;
    double hexPercent = 0;
    double maxMs = 0;
    double rssMiB = 0;
};

void ours(double rate, double seconds, double burstSeconds, const QString &only, Worst &worst)
{
    PacedWriter writer(1, textProducer());
    QString error;
    if (!writer.open(&error)) {
        std::printf("cannot open a pseudo-terminal: %s\n", qPrintable(error));
        return;
    }
    MainWindow window;
    window.show();
    if (!QTest::qWaitForWindowExposed(&window))
        std::printf("the window was not exposed\n");
    auto *tabs = window.findChild<QTabWidget *>(QStringLiteral("tabSwitch"));
    QTabBar *bar = tabs->tabBar();
    QTest::mouseClick(bar, Qt::LeftButton, Qt::NoModifier, bar->tabRect(0).center());
    auto *port = window.findChild<QComboBox *>(QStringLiteral("comboPort"));
    auto *open = window.findChild<QPushButton *>(QStringLiteral("buttonOpenport"));
    auto *box = window.findChild<QTextEdit *>(QStringLiteral("textRecvOutput"));
    port->clearEditText();
    QTest::keyClicks(port, writer.slavePath());
    QTest::mouseClick(open, Qt::LeftButton);
    if (tabs->currentIndex() != 0 || !window.serialPort()->isOpen()) {
        std::printf("the serial assistant did not open %s: %s\n", qPrintable(writer.slavePath()),
                    qPrintable(window.statusBar()->currentMessage()));
        return;
    }
    const auto unread = [&] {
        return qint64(writer.waitingOnLine()) + window.serialPort()->bytesAvailable();
    };
    const auto paragraphs = [&] { return box->document()->blockCount(); };
    auto *stamps = window.findChild<QAbstractButton *>(QStringLiteral("checkLogmode"));
    auto *hex = window.findChild<QAbstractButton *>(QStringLiteral("radioRecvOptHEX"));
    auto *text = window.findChild<QAbstractButton *>(QStringLiteral("radioRecvOptASCII"));
    for (const Mode &mode : modes) {
        if (!only.isEmpty() && only != QLatin1String(mode.option))
            continue;
        if (stamps->isChecked() != mode.stamped)
            QTest::mouseClick(stamps, Qt::LeftButton);
        QTest::mouseClick(mode.hex ? hex : text, Qt::LeftButton);
        printHeader(qPrintable(QStringLiteral("ours: MainWindow, serial assistant tab, %1")
                                   .arg(QLatin1String(mode.name))));
        const Step paced = runStep(writer, rate, seconds, unread, paragraphs);
        printStep("paced", paced);
        printStep("flat out",
                  runStep(writer, FlatOutBytesPerSecond, burstSeconds, unread, paragraphs));
        if (mode.stamped)
            worst.stampedPercent = paced.processPercent;
        if (mode.hex)
            worst.hexPercent = paced.processPercent;
        worst.maxMs = std::max(worst.maxMs, paced.maxMs);
        worst.rssMiB = std::max(worst.rssMiB, ProcessStats::residentMiB());
    }
    QTest::mouseClick(open, Qt::LeftButton);
}

void naive(double rate, double seconds, double burstSeconds)
{
    PacedWriter writer(1, textProducer());
    QString error;
    if (!writer.open(&error)) {
        std::printf("cannot open a pseudo-terminal: %s\n", qPrintable(error));
        return;
    }
    QTextEdit box;
    box.setReadOnly(true);
    box.resize(800, 500);
    box.show();
    QSerialPort port(writer.slavePath());
    if (!port.open(QIODevice::ReadWrite)) {
        std::printf("cannot open %s\n", qPrintable(writer.slavePath()));
        return;
    }
    QObject::connect(&port, &QSerialPort::readyRead,
                     [&] { box.append(QString::fromUtf8(port.readAll())); });
    const auto unread = [&] { return qint64(writer.waitingOnLine()) + port.bytesAvailable(); };
    const auto paragraphs = [&] { return box.document()->blockCount(); };
    printHeader("naive: QTextEdit::append per arrival, no limit");
    printStep("paced", runStep(writer, rate, seconds, unread, paragraphs));
    printStep("flat out", runStep(writer, FlatOutBytesPerSecond, burstSeconds, unread, paragraphs));
}

// The receive box alone, without the line and its reads: `seconds` of `rate` bytes a second
// of text in arrivals of `arrivalBytes`, handed to ReceiveLog one update interval at a time
// as fast as it takes them, each interval shown and painted. The same arrivals and updates
// at every run, so the figure (CPU per second of arrivals) moves only with the box's cost.
double boxAloneCpuPercent(double rate, int arrivalBytes, double seconds, bool hex, bool stamped)
{
    QTextEdit box;
    box.setReadOnly(true);
    box.resize(800, 500);
    box.show();
    ReceiveLog log(&box);
    const int intervals = int(seconds * 1000 / ReceiveLog::FlushIntervalMs);
    const int arrivals = int(rate * ReceiveLog::FlushIntervalMs / 1000 / arrivalBytes);
    const QTime now = QTime::currentTime();
    QByteArray text;
    qint64 sent = 0;
    const double start = ProcessStats::threadCpuSeconds();
    for (int i = 0; i < intervals; ++i) {
        for (int j = 0; j < arrivals; ++j, sent += arrivalBytes) {
            text.clear();
            appendTerminalText(text, sent, arrivalBytes);
            log.append(text, hex, stamped, now);
        }
        log.flush();
        QCoreApplication::processEvents();
    }
    return 100.0 * (ProcessStats::threadCpuSeconds() - start) / seconds;
}

// What QTextEdit's own layout costs per line: lines inserted in one edit into a shown box.
double layoutMicrosPerLine(int lines)
{
    QTextEdit box;
    box.setReadOnly(true);
    box.resize(800, 500);
    box.show();
    QByteArray text;
    appendTerminalText(text, 0, qint64(lines) * 64);
    const QStringList paragraphs = QString::fromLatin1(text).split(QStringLiteral("\r\n"));
    const double start = ProcessStats::threadCpuSeconds();
    QTextCursor cursor(box.document());
    cursor.beginEditBlock();
    for (const QString &paragraph : paragraphs) {
        cursor.insertBlock();
        cursor.insertText(paragraph);
    }
    cursor.endEditBlock();
    return (ProcessStats::threadCpuSeconds() - start) * 1e6 / lines;
}

} // namespace

int main(int argc, char *argv[])
{
    quietPlatformWarnings();
    QApplication app(argc, argv);
    Q_INIT_RESOURCE(resources);
    const BenchOptions options(QApplication::arguments());
    const double rate = std::max(0.001, options.number("mb-per-second", 1)) * 1e6;
    const double seconds = std::max(0.5, options.number("seconds", 20));
    const double burst = std::max(0.5, options.number("burst-seconds", 5));
    const double naiveSeconds = std::max(0.5, options.number("naive-seconds", 15));
    std::printf("%s\n", qPrintable(ProcessStats::machineLine()));
    std::printf("terminal: %.2f MB/s of 64-byte text lines for %.0f s, then flat out for %.0f s\n",
                rate / 1e6, seconds, burst);
    Worst worst;
    // --only text|stamped|hex: one way of showing, e.g. for a profiler.
    ours(rate, seconds, burst, options.text("only"), worst);
    if (!options.flag("no-naive"))
        naive(rate, naiveSeconds, burst);
    const double boxSeconds = std::max(0.5, options.number("box-seconds", 5));
    std::printf("\nthe receive box alone, %.2f MB/s in 64-byte arrivals for %.0f s, GUI %%:",
                rate / 1e6, boxSeconds);
    for (const Mode &mode : modes) {
        if (options.text("only").isEmpty() || options.text("only") == QLatin1String(mode.option))
            std::printf(" %s %.1f;", mode.name,
                        boxAloneCpuPercent(rate, 64, boxSeconds, mode.hex, mode.stamped));
    }
    std::printf("\n");
    const double perLine = layoutMicrosPerLine(5000);
    std::printf("\nQTextEdit layout alone: %.1f us of CPU per 64-byte line, so %.0f %% of a core "
                "at %.2f MB/s\n",
                perLine, perLine * rate / 64 / 1e4, rate / 1e6);
    std::printf("GUI %% = GUI thread, kernel %% = the GUI thread's time in the kernel (part of GUI "
                "%%), CPU %% = whole process less the writer thread\n");
    std::printf("targets at 1 MB/s: text with time stamps at most 25 %%, hexadecimal at most "
                "35 %% of a core, no stall over 100 ms, resident memory bounded\n");
    printFigure("terminal_text_cpu_pct", worst.stampedPercent, "%");
    printFigure("terminal_hex_cpu_pct", worst.hexPercent, "%");
    printFigure("terminal_max_stall_ms", worst.maxMs, "ms");
    printFigure("terminal_rss_mib", worst.rssMiB, "MiB");
    std::printf("load average after: %s\n", qPrintable(ProcessStats::loadAverage()));
    return 0;
}
