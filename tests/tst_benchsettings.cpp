// The bench kept between runs: a window closed and a new one opened on the same settings file
// shows what the user left; without a store, or after 恢复默认设置, the first-start bench.
#include "app/benchsettings.h"
#include "app/mainwindow.h"
#include "chart/pid_diagram.h"
#include "datafiles/recentfolders.h"
#include "tests/support/testdata.h"
#include "tuning/tuningpanel.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDockWidget>
#include <QLineEdit>
#include <QSerialPort>
#include <QSettings>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

// What a user changes, P first: a typed P is no setting, the rest are.
QVariantList read(MainWindow &w)
{
    QVariantList bench{w.findChild<QLineEdit *>(QStringLiteral("editP"))->text()};
    for (const char *name : {"comboPortPID", "comboBaudratePID", "comboCheckbitPID",
                             "comboBaudrate", "comboStopbit", "comboHistory"})
        bench << w.findChild<QComboBox *>(QLatin1String(name))->currentText();
    for (const char *name :
         {"checkAuto", "checkCompare", "checkVerifyWrite", "checkStringMode", "checkTimeInSeconds"})
        bench << w.findChild<QCheckBox *>(QLatin1String(name))->isChecked();
    for (const char *name : {"comboRunsUnit", "comboRunsChannel"})
        bench << w.findChild<QComboBox *>(QLatin1String(name))->currentIndex();
    const TuningPanel *tuning = w.findChild<TuningPanel *>();
    bench << w.findChild<QAction *>(QStringLiteral("actionAnalysis"))->isChecked()
          << w.findChild<QTabWidget *>(QStringLiteral("tabSwitch"))->currentIndex()
          << w.findChild<RecentFolders *>()->folder(RecentFolders::Import);
    return bench << QVariant(tuning->formEntry(0)) << QVariant(tuning->formEntry(1));
}

} // namespace

class TestBenchSettings : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void restartKeepsBench();
    void noStoreStartsClean();
    void restoreDefaults();

private:
    // A window with settings on the test's file, as main() builds it.
    struct Session
    {
        std::unique_ptr<MainWindow> window = std::make_unique<MainWindow>();
        std::unique_ptr<BenchSettings> settings;
        bool placed = false;
    };
    std::unique_ptr<Session> open(bool withStore = true)
    {
        auto s = std::make_unique<Session>();
        s->settings = std::make_unique<BenchSettings>(
            withStore ? std::make_unique<QSettings>(path, QSettings::IniFormat) : nullptr);
        s->placed = s->settings->attach(s->window.get());
        return s;
    }
    // Everything a user sets up on the bench; a device that is gone by the next start.
    static void change(MainWindow &w)
    {
        const auto box = [&w](const char *name) {
            return w.findChild<QComboBox *>(QLatin1String(name));
        };
        box("comboPortPID")->setCurrentText(QStringLiteral("/dev/ttyGONE0"));
        box("comboBaudratePID")->setCurrentText(QStringLiteral("57600"));
        box("comboCheckbitPID")->setCurrentIndex(2);
        box("comboBaudrate")->setCurrentText(QStringLiteral("9600"));
        box("comboStopbit")->setCurrentIndex(1);
        box("comboHistory")->setCurrentIndex(1);
        w.findChild<QLineEdit *>(QStringLiteral("editP"))->setText(QStringLiteral("7.5"));
        for (const char *name : {"checkAuto", "checkCompare", "checkVerifyWrite", "checkStringMode",
                                 "checkTimeInSeconds"})
            w.findChild<QCheckBox *>(QLatin1String(name))->click();
        w.findChild<QTabWidget *>(QStringLiteral("tabSwitch"))->setCurrentIndex(1);
        w.findChild<QAction *>(QStringLiteral("actionAnalysis"))->setChecked(true);
        box("comboRunsUnit")->setCurrentIndex(1);
        box("comboRunsChannel")->setCurrentIndex(2);
        // The controller form of two channels: the shown one and one switched to and back.
        auto *tuning = w.findChild<TuningPanel *>();
        tuning->findChild<QComboBox *>(QStringLiteral("comboControllerForm"))->setCurrentIndex(1);
        tuning->selectChannel(1);
        tuning->findChild<QCheckBox *>(QStringLiteral("checkDerivativeOnMeasurement"))->click();
        QTest::keyClicks(tuning->findChild<QLineEdit *>(QStringLiteral("editOutputMax")), "5");
        tuning->selectChannel(0);
        w.findChild<RecentFolders *>()->rememberFile(RecentFolders::Import,
                                                     QStringLiteral("/data/runs/a.csv"));
    }

    QTemporaryDir dir;
    QString path;
    QVariantList first;
};

void TestBenchSettings::init()
{
    path = dir.filePath(QStringLiteral("%1.ini").arg(QTest::currentTestFunction()));
    MainWindow bare;
    first = read(bare);
}

void TestBenchSettings::restartKeepsBench()
{
    auto before = open();
    QVERIFY(!before->placed);
    change(*before->window);
    before->window->resize(1000, 640);
    before->window->show();
    const QVariantList left = read(*before->window);
    QVERIFY(left != first);
    before->window->close();
    before.reset();

    const auto after = open();
    QVariantList expected = left;
    expected[0] = first[0]; // P, I, D, 目标 and 实际 always start with their first texts
    QCOMPARE(read(*after->window), expected);
    QVERIFY(after->placed);
    QCOMPARE(after->window->size(), QSize(1000, 640));
    // What the box says is what the chart does.
    QCOMPARE(after->window->pidDiagram()->historyLength(), 100000u);
    QVERIFY(after->window->pidDiagram()->autoScroll);
    QVERIFY(after->window->pidDiagram()->timeInSeconds());
    // The device that is gone is shown, not opened.
    QVERIFY(!after->window->serialPort()->isOpen());
}

// --no-settings: a store that holds a bench is neither read nor written.
void TestBenchSettings::noStoreStartsClean()
{
    auto kept = open();
    change(*kept->window);
    kept->window->close();
    kept.reset();
    const QByteArray stored = readFile(path);
    QVERIFY(stored.contains("57600"));

    auto clean = open(false);
    QCOMPARE(read(*clean->window), first);
    QVERIFY(!clean->placed);
    change(*clean->window);
    clean->window->close();
    clean.reset();
    QCOMPARE(readFile(path), stored);
}

void TestBenchSettings::restoreDefaults()
{
    auto s = open();
    change(*s->window);
    s->window->findChild<QAction *>(QStringLiteral("actionRestoreDefaults"))->trigger();
    QVariantList now = read(*s->window);
    now[0] = first[0]; // a typed P is no setting and stays
    QCOMPARE(now, first);
    QCOMPARE(s->window->pidDiagram()->historyLength(), PID_Diagram::SampleCap);
    s->window->close();
    s.reset();
    // The next start is a first start too.
    const auto next = open();
    QCOMPARE(read(*next->window), first);
    QVERIFY(!next->placed);
}

QTEST_MAIN(TestBenchSettings)
#include "tst_benchsettings.moc"
