// What the chart shows when it follows, fits, scrolls and scales, from a plain sample store.
#include "chart/viewrange.h"

#include <QtTest>

class TestViewRange : public QObject
{
    Q_OBJECT

private slots:
    void ranges_data();
    void ranges();
};

using Range = QVector<double>; // xMin, xMax, yMin, yMax

void TestViewRange::ranges_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<int>("shown"); // channel bits, for a fit
    QTest::addColumn<double>("a");  // width, scroll position or scale
    QTest::addColumn<double>("b");  // target span, or scroll fraction
    QTest::addColumn<Range>("expected");

    QTest::newRow("follow, history shorter")
        << "follow" << 0 << 1000. << 0. << Range{0, 1000, -100, 100};
    QTest::newRow("follow the newest") << "follow" << 0 << 200. << 0. << Range{300, 500, -100, 100};
    // Every fourth actual of the newest 200 (-2 to 6), all targets (5, and 50 early on), and 0.
    QTest::newRow("fit, all targets") << "fit" << 1 << 200. << 0. << Range{300, 500, -10, 70};
    QTest::newRow("fit, newest targets") << "fit" << 1 << 200. << 200. << Range{300, 500, -4, 12};
    // The last shown channel decides the window: channel 2 holds 3 samples of 100.
    QTest::newRow("fit, last channel short")
        << "fit" << 3 << 200. << 200. << Range{0, 200, -20, 140};
    QTest::newRow("fit, nothing shown") << "fit" << 0 << 200. << 0. << Range{0, 100, -1, 1};
    // Channel 1 holds samples 500 to 1499 of a shorter history.
    QTest::newRow("scroll, newest") << "scroll" << 0 << 0. << 0.4 << Range{1100, 1500, -100, 100};
    QTest::newRow("scroll, oldest") << "scroll" << 0 << 1. << 0.4 << Range{500, 900, -100, 100};
    QTest::newRow("scroll, middle") << "scroll" << 0 << 0.5 << 0.4 << Range{800, 1200, -100, 100};
    QTest::newRow("scale") << "scale" << 0 << 0.1 << 0. << Range{0, 100, -100, 100};
    QTest::newRow("scale, below 0.01") << "scale" << 0 << 0.001 << 0. << Range{0, 100, -10, 10};
}

void TestViewRange::ranges()
{
    QFETCH(QString, action);
    QFETCH(int, shown);
    QFETCH(double, a);
    QFETCH(double, b);
    QFETCH(Range, expected);

    SampleStore store;
    for (int k = 0; k < 500; ++k)
        store.append(0, float(k % 10 - 2), k < 100 ? 50.f : 5.f);
    for (int k = 0; k < 3; ++k)
        store.append(1, 100, 100);
    const ViewRange start{0, 100, -100, 100};
    ViewRange view;
    if (action == "follow")
        view = start.following(500, qint64(a));
    else if (action == "fit")
        view = start.fitted(store, {(shown & 1) != 0, (shown & 2) != 0, false, false}, qint64(a),
                            quint64(b));
    else if (action == "scroll")
        view = start.scrolled(500, 1500, a, b);
    else
        view = start.scaled(a);
    QCOMPARE((Range{view.xMin, view.xMax, view.yMin, view.yMax}), expected);
}

QTEST_APPLESS_MAIN(TestViewRange)
#include "tst_viewrange.moc"
