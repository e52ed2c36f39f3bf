// Shows the main window with believable data on both tabs and saves each tab as a PNG.
// Usage (under an X server; see scripts/screenshots.sh):
//   tavrino_screenshot OUTPUT_FOLDER        the window at the form's size: screenshot-pid.png,
//                                           screenshot-pid-compare.png (two runs compared,
//                                           values under the cursor), screenshot-analysis.png,
//                                           screenshot-serial.png
//   tavrino_screenshot OUTPUT_FOLDER NAME   the window as the program opens it on this screen,
//                                           the whole screen saved: screenshot-NAME-pid.png,
//                                           screenshot-NAME-analysis.png,
//                                           screenshot-NAME-serial.png
// With TAVRINO_LANG=en in the environment the interface is English and every name ends in
// ".en.png" instead (screenshot-pid.en.png).
#include "app/displaysetup.h"
#include "app/interfacetranslation.h"
#include "app/mainwindow.h"
#include "assistant/receiveformatter.h"
#include "chart/comparisonoverlay.h"
#include "chart/pid_diagram.h"
#include "chart/responseanalysis.h"
#include "chart/runhistory.h"
#include "chart/stepanalyzer.h"
#include "pidlink/pidframe.h"
#include "pidlink/pidlink.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLineEdit>
#include <QMouseEvent>
#include <QRandomGenerator>
#include <QScreen>
#include <QStatusBar>
#include <QTabWidget>
#include <QTextEdit>
#include <QTime>
#include <QTimer>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>
#include <QtCharts/QLineSeries>

#include <cmath>
#include <cstdio>

namespace {

void settle(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

template <typename T> T *child(QWidget &window, const char *name)
{
    T *w = window.findChild<T *>(QLatin1String(name));
    if (!w)
        qFatal("no widget %s", name);
    return w;
}

struct Loop
{
    double zeta;  // damping ratio
    double omega; // natural frequency, radians per sample
    double noise; // measurement noise, standard deviation
};

// Four closed loops answering two set-point steps: an underdamped one, a well-tuned one, a
// sluggish one and a nervous one, sampled the way the board sends them.
void fillChart(PID_Diagram *diagram)
{
    const Loop loops[4] = {
        {0.25, 0.12, 0.4}, {0.6, 0.09, 0.3}, {1.2, 0.07, 0.25}, {0.12, 0.2, 0.6}};
    const double firstStep[4] = {60, 40, -30, 80};
    const double secondStep[4] = {30, 70, -60, 50};
    QRandomGenerator random(20240611);
    for (int c = 0; c < 4; ++c) {
        double y = 0, v = 0; // output and its rate
        for (int n = 0; n < 200; ++n) {
            const double target = n < 10 ? 0 : n < 110 ? firstStep[c] : secondStep[c];
            // Semi-implicit Euler on y'' + 2 zeta omega y' + omega^2 y = omega^2 target.
            const Loop &l = loops[c];
            v += l.omega * l.omega * (target - y) - 2 * l.zeta * l.omega * v;
            y += v;
            const double noise = (random.generateDouble() - 0.5) * 2 * l.noise;
            diagram->append(c, float(y + noise), float(target));
        }
    }
}

// Two runs of channels 1 and 2 answering the same step, the second better tuned, with the
// comparison on, zoomed onto the second run and the cursor on channel 1's peak.
void compareRuns(MainWindow &window, StepAnalyzer &analyzer)
{
    PID_Diagram *diagram = window.pidDiagram();
    diagram->clearAll();
    diagram->comparison()->setSource(
        [&analyzer](int channel) { return analyzer.previousWindowTrace(channel); });
    const Loop runs[2][2] = {{{0.2, 0.1, 0.3}, {0.35, 0.08, 0.3}},
                             {{0.65, 0.1, 0.3}, {0.8, 0.08, 0.3}}};
    const double step[2] = {50, 35};
    const int length = 150;
    QRandomGenerator random(20240612);
    for (const auto &run : runs) {
        analyzer.beginRun();
        double y[2] = {0, 0};
        double v[2] = {0, 0};
        for (int n = 0; n < length; ++n) {
            for (int c = 0; c < 2; ++c) {
                const Loop &l = run[c];
                v[c] += l.omega * l.omega * (step[c] - y[c]) - 2 * l.zeta * l.omega * v[c];
                y[c] += v[c];
                const float actual = float(y[c] + (random.generateDouble() - 0.5) * 2 * l.noise);
                analyzer.addSample(c, qint64(diagram->nextSampleNumber(c)), actual, float(step[c]));
                diagram->append(c, actual, float(step[c]));
            }
            // The window redraws while the run goes on; the comparison is taken then.
            diagram->refreshSeries();
        }
        analyzer.finishWindows();
    }
    child<QCheckBox>(window, "checkCompare")->setChecked(true);
    diagram->setChannelShown(2, false);
    diagram->setChannelShown(3, false);
    diagram->showRange(length - 10, 2 * length, -5, 65);
    settle(200);

    // The cursor on channel 1's highest sample of the second run.
    int peak = length;
    const SampleStore::Series actual = diagram->samples().series(0);
    for (int n = length; n < 2 * length; ++n) {
        if (actual.y(quint64(n)) > actual.y(quint64(peak)))
            peak = n;
    }
    QtCharts::QChart *chart = diagram->chartItem();
    const QPointF at = chart->mapToPosition(QPointF(peak, 40), diagram->series(0));
    QWidget *viewport = diagram->view()->viewport();
    const QPoint local = diagram->view()->mapFromScene(chart->mapToScene(at));
    QMouseEvent move(QEvent::MouseMove, local, viewport->mapToGlobal(local), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(viewport, &move);
    window.statusBar()->showMessage(QCoreApplication::translate("RunControl", "停止PID调试"), 0);
}

// Two runs of the four loops through the link, as a board sends them at 100 samples a second,
// each with its gains reported first and a step at its start: the first run's loops ring,
// the second's are tamer.
void feedRuns(PidLink *link, RunHistory *history)
{
    const Loop loops[2][4] = {
        {{0.25, 0.12, 0.4}, {0.6, 0.09, 0.3}, {1.2, 0.07, 0.25}, {0.12, 0.2, 0.6}},
        {{0.5, 0.14, 0.4}, {0.8, 0.1, 0.3}, {0.9, 0.1, 0.25}, {0.35, 0.2, 0.6}}};
    const float gains[2][3] = {{2.5f, 0.8f, 0.05f}, {1.6f, 0.5f, 0.12f}};
    QRandomGenerator random(20240612);
    char frame[FrameSize];
    for (int run = 0; run < 2; ++run) {
        for (quint8 c = 0; c < 4; ++c) {
            for (quint8 op = CmdP; op <= CmdD; ++op) {
                buildCommandFrame(frame, op, DirWrite, c, 0, gains[run][op - CmdP]);
                link->feed(QByteArray(frame, FrameSize));
            }
        }
        link->setRunActive(true);
        double y[4] = {}, v[4] = {};
        QElapsedTimer clock;
        clock.start();
        for (int n = 0; n < 160; ++n) {
            QByteArray bytes;
            for (int c = 0; c < 4; ++c) {
                const double target = n < 80 ? 50 : 20;
                const Loop &l = loops[run][c];
                v[c] += l.omega * l.omega * (target - y[c]) - 2 * l.zeta * l.omega * v[c];
                y[c] += v[c];
                const double noise = (random.generateDouble() - 0.5) * 2 * l.noise;
                frame[0] = char('0' + c);
                putFloatLE(frame + 1, float(y[c] + noise));
                putFloatLE(frame + 5, float(target));
                frame[9] = '\n';
                bytes.append(frame, FrameSize);
            }
            link->feed(bytes);
            // The second run's last steps of CH1 and CH2 as after a written suggestion.
            if (run == 1 && n == 120) {
                history->expectPrediction(
                    0, RunHistory::Predicted{QStringLiteral("平衡"), 11, 12.0, 60, 10.0});
                history->expectPrediction(
                    1, RunHistory::Predicted{QStringLiteral("平衡"), 22, 2.0, 40, 10.0});
            }
            settle(int(std::max<qint64>(0, 10 * (n + 1) - clock.elapsed())));
        }
        link->setRunActive(false);
    }
}

// The window alone, or the whole screen with the window as it lies on it.
bool save(QWidget &window, bool wholeScreen, const QString &path)
{
    const QPixmap shot =
        wholeScreen ? QGuiApplication::primaryScreen()->grabWindow(0) : window.grab();
    if (!shot.save(path, "PNG", 9)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s (%dx%d)\n", qPrintable(path), shot.width(), shot.height());
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    Q_INIT_RESOURCE(resources);
    DisplaySetup::beforeApplication();
    QApplication app(argc, argv);
    if (argc != 2 && argc != 3) {
        std::fprintf(stderr, "usage: %s OUTPUT_FOLDER [SCREEN_NAME]\n", argv[0]);
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    const bool wholeScreen = argc == 3;
    const QString prefix =
        wholeScreen ? QStringLiteral("screenshot-%1-").arg(QString::fromLocal8Bit(argv[2]))
                    : QStringLiteral("screenshot-");
    Language::Code language = Language::Chinese;
    Language::fromName(qEnvironmentVariable("TAVRINO_LANG"), language);
    const QString suffix =
        language == Language::English ? QStringLiteral(".en.png") : QStringLiteral(".png");
    InterfaceTranslation translation;
    translation.install(language);

    StepAnalyzer analyzer; // outlives the window, which asks it for the comparison
    MainWindow window;
    if (wholeScreen)
        DisplaySetup::showFitted(window);
    else
        window.show();
    // A window manager maximizes in its own time.
    settle(wholeScreen ? 1000 : 300);

    // PID tab.
    auto *tabs = child<QTabWidget>(window, "tabSwitch");
    tabs->setCurrentIndex(1);
    child<QComboBox>(window, "comboPortPID")->setEditText(QStringLiteral("ttyUSB0 USB Serial"));
    child<QLineEdit>(window, "editP")->setText(QStringLiteral("2.5"));
    child<QLineEdit>(window, "editI")->setText(QStringLiteral("0.8"));
    child<QLineEdit>(window, "editD")->setText(QStringLiteral("0.05"));
    child<QLineEdit>(window, "editTarget")->setText(QStringLiteral("30"));
    child<QLineEdit>(window, "editActual")->setText(QStringLiteral("29.87"));
    PID_Diagram *diagram = window.pidDiagram();
    fillChart(diagram);
    child<QCheckBox>(window, "checkAuto")->setChecked(true); // fits the vertical axis
    diagram->on_timer_updata();
    window.statusBar()->showMessage(QCoreApplication::translate("ParameterPanel", "成功接收P"), 0);
    settle(500);
    bool ok = save(window, wholeScreen, out.filePath(prefix + QStringLiteral("pid") + suffix));
    if (!wholeScreen) {
        compareRuns(window, analyzer);
        settle(500);
        ok = save(window, false, out.filePath(prefix + QStringLiteral("pid-compare") + suffix)) &&
             ok;
    }

    // The response analysis of two runs, under the chart.
    child<QCheckBox>(window, "checkAuto")->setChecked(false);
    diagram->clearAll();
    window.findChild<QAction *>(QStringLiteral("actionAnalysis"))->setChecked(true);
    feedRuns(window.pidLink(), window.responseAnalysis()->history());
    diagram->on_timer_updata();
    window.statusBar()->showMessage(QCoreApplication::translate("RunControl", "停止PID调试"), 0);
    settle(500);
    ok =
        save(window, wholeScreen, out.filePath(prefix + QStringLiteral("analysis") + suffix)) && ok;

    // Serial assistant tab.
    tabs->setCurrentIndex(0);
    child<QComboBox>(window, "comboPort")->setEditText(QStringLiteral("ttyACM0"));
    child<QCheckBox>(window, "checkLogmode")->setChecked(true);
    auto *receive = child<QTextEdit>(window, "textRecvOutput");
    const struct
    {
        int second;
        const char *text;
    } lines[] = {
        {2, "Tavrino demo board v1.3, build Jun 11 2024"},
        {2, "clock 72 MHz, UART1 115200 8N1"},
        {2, "motor driver ready, encoder 1024 ppr"},
        {3, "heater NTC 24.8 C"},
        {7, "> help"},
        {7, "commands: status, kp <v>, ki <v>, kd <v>, target <v>, run, stop"},
        {9, "> status"},
        {9, "ch1 kp=2.50 ki=0.80 kd=0.05 target=30.0 actual=29.9"},
        {9, "ch2 kp=1.20 ki=0.30 kd=0.00 target=70.0 actual=69.7"},
        {12, "> run"},
        {12, "running, 100 samples/s per channel"},
    };
    for (const auto &line : lines)
        receive->append(ReceiveFormatter::timeStamp(QTime(9, 41, line.second)) +
                        QString::fromUtf8(line.text));
    child<QTextEdit>(window, "textSendInput")->setPlainText(QStringLiteral("status"));
    window.statusBar()->showMessage(
        QCoreApplication::translate("MainWindow", "欢迎使用TavrinoPID调试助手！"), 0);
    settle(500);
    ok = save(window, wholeScreen, out.filePath(prefix + QStringLiteral("serial") + suffix)) && ok;
    const QScreen *screen = QGuiApplication::primaryScreen();
    std::printf("screen %dx%d at scale %.2f, free area %dx%d, window %dx%d, minimum %dx%d\n",
                screen->geometry().width(), screen->geometry().height(), screen->devicePixelRatio(),
                screen->availableGeometry().width(), screen->availableGeometry().height(),
                window.width(), window.height(), window.minimumSizeHint().width(),
                window.minimumSizeHint().height());
    return ok ? 0 : 1;
}
