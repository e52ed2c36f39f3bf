// The window as built: every widget's start state, no slot run during construction; the port
// given at start-up; the menu actions with path.ini beside the executable, what they would open
// caught instead of opened; the window in either language.
#include "app/interfacetranslation.h"
#include "serial/portsettings.h"
#include "tests/support/testdata.h"
#include "tests/support/windowdriver.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QDesktopServices>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QScrollBar>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTableWidget>
#include <QTextEdit>
#include <QtCharts/QChartView>
#include <QtCharts/QXYSeries>
#include <QtTest>

namespace {
QStringList items(const QComboBox *box)
{
    QStringList out;
    for (int i = 0; i < box->count(); ++i)
        out << box->itemText(i);
    return out;
}

// Opens the menu on the bar and clicks the item, as a user does.
void trigger(WindowDriver &d, const QString &menuTitle, const QString &item)
{
    QMenuBar *bar = d.window().menuBar();
    QAction *menuAction = nullptr;
    for (QAction *a : bar->actions())
        menuAction = a->text() == menuTitle ? a : menuAction;
    QVERIFY2(menuAction && menuAction->menu(), qPrintable(menuTitle));
    QMenu *menu = menuAction->menu();
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(menuAction).center());
    QTRY_VERIFY(menu->isVisible());
    QAction *action = nullptr;
    for (QAction *a : menu->actions())
        action = a->text() == item ? a : action;
    QVERIFY2(action, qPrintable(item));
    QSignalSpy triggered(action, &QAction::triggered);
    QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(action).center());
    QTRY_COMPARE(triggered.count(), 1);
    QTRY_VERIFY(!menu->isVisible());
}
} // namespace

// Stands in for the desktop: records every URL instead of opening it.
class UrlCatcher : public QObject
{
    Q_OBJECT

public:
    QList<QUrl> opened;

public Q_SLOTS:
    void open(const QUrl &url) { opened.append(url); }
};

class TestMainWindow : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void startState_data();
    void startState();
    void constructionRunsNoSlot();
    void startupPort();
    void tooltips();
    void menuActions_data();
    void menuActions();
    void language_data();
    void language();

private:
    void removeIni() { QFile::remove(iniPath); }

    QString iniPath;
    QString savedIniPath;
    UrlCatcher catcher;
};

void TestMainWindow::initTestCase()
{
    Q_INIT_RESOURCE(resources);
    QStandardPaths::setTestModeEnabled(true); // the run history's folder is not the user's
    iniPath = QCoreApplication::applicationDirPath() + QStringLiteral("/path.ini");
    // Keep whatever lies beside the test binary and put it back afterwards.
    if (QFileInfo::exists(iniPath)) {
        savedIniPath = iniPath + QStringLiteral(".saved-by-tst_mainwindow");
        QFile::remove(savedIniPath);
        QVERIFY(QFile::rename(iniPath, savedIniPath));
    }
    for (const char *scheme : {"http", "https", "file"})
        QDesktopServices::setUrlHandler(QLatin1String(scheme), &catcher, "open");
}

void TestMainWindow::cleanupTestCase()
{
    for (const char *scheme : {"http", "https", "file"})
        QDesktopServices::unsetUrlHandler(QLatin1String(scheme));
    removeIni();
    if (!savedIniPath.isEmpty())
        QFile::rename(savedIniPath, iniPath);
}

void TestMainWindow::startState_data()
{
    QTest::addColumn<QString>("object");
    QTest::addColumn<QByteArray>("property");
    QTest::addColumn<QVariant>("expected");
    const auto row = [](const char *object, const char *property, const QVariant &value) {
        QTest::addRow("%s.%s", object, property) << object << QByteArray(property) << value;
    };
    // What the window tests start from is theirs to check (the tab shown, the boxes checked,
    // the run's buttons, the editable port boxes); a changed text fails tst_translations, whose
    // lupdate finds it unfinished.
    row("radioCH1", "text", QString());
    row("editP", "text", QStringLiteral("1.0"));
    row("textTime", "plainText", QStringLiteral("1000"));
    // The rate boxes show "115200" as edit text while their index stays at the first item.
    row("comboBaudratePID", "currentText", QStringLiteral("115200"));
    row("comboBaudrate", "currentIndex", 0);
    row("comboCheckbit", "editable", false);
}

void TestMainWindow::startState()
{
    QFETCH(QString, object);
    QFETCH(QByteArray, property);
    MainWindow window;
    QObject *target = window.findChild<QObject *>(object);
    QVERIFY2(target, qPrintable(object));
    QTEST(target->property(property.constData()), "expected");
}

void TestMainWindow::constructionRunsNoSlot()
{
    MainWindow window;
    // A slot would have replaced the welcome message or touched the chart.
    QCOMPARE(window.statusBar()->currentMessage(), QStringLiteral("欢迎使用TavrinoPID调试助手！"));
    QVERIFY(!window.pidDiagram()->isRefreshing());
    auto *view = window.findChild<QtCharts::QChartView *>("graphicsView");
    QCOMPARE(view->chart(), window.pidDiagram()->chartItem());
    QCOMPARE(view->chart()->series().size(), 8);
    for (int i = 0; i < 8; ++i) {
        const auto *series = static_cast<QtCharts::QXYSeries *>(view->chart()->series().at(i));
        const QString kind = i % 2 ? QStringLiteral("目标值") : QStringLiteral("实际值");
        QCOMPARE(series->name(), kind + QString::number(i / 2 + 1));
        QCOMPARE(series->count(), 0);
    }
    QVERIFY(!window.windowIcon().isNull());

    // The settings conversion reads these texts.
    const QStringList parity{QStringLiteral("无"), QStringLiteral("偶"), QStringLiteral("奇")};
    QCOMPARE(items(window.findChild<QComboBox *>("comboCheckbit")), parity);
    QCOMPARE(items(window.findChild<QComboBox *>("comboCheckbitPID")), parity);
    QCOMPARE(items(window.findChild<QComboBox *>("comboStopbitPID")), (QStringList{"1", "2"}));
}

// The device given at start-up is added to both port boxes once and selected; a blank one
// changes nothing.
void TestMainWindow::startupPort()
{
    MainWindow window;
    const QStringList two{"/dev/ttyS0 ", "/dev/ttyS1 "};
    const auto boxes = {window.findChild<QComboBox *>(QStringLiteral("comboPort")),
                        window.findChild<QComboBox *>(QStringLiteral("comboPortPID"))};
    for (QComboBox *box : boxes) {
        box->clear();
        box->addItems(two);
    }
    window.usePort(QStringLiteral("   "));
    for (QComboBox *box : boxes)
        QCOMPARE(box->currentText(), two.first());
    window.usePort(QStringLiteral("  /dev/pts/7\n"));
    window.usePort(QStringLiteral("/dev/pts/7"));
    for (QComboBox *box : boxes) {
        QCOMPARE(items(box), two + QStringList{"/dev/pts/7"});
        QCOMPARE(box->currentText(), QStringLiteral("/dev/pts/7"));
    }
}

// Every control of both tabs says what it does; labels say it themselves.
void TestMainWindow::tooltips()
{
    MainWindow window;
    QStringList missing;
    int controls = 0;
    for (const char *tab : {"tabUSART", "tabPID"}) {
        for (QWidget *w : window.findChild<QWidget *>(tab)->findChildren<QWidget *>()) {
            // Named by the form: not the parts Qt builds into a control (a box's line edit).
            const bool named = !w->objectName().isEmpty() && !w->objectName().startsWith("qt_");
            for (const char *kind : {"QAbstractButton", "QComboBox", "QLineEdit", "QTextEdit",
                                     "QScrollBar", "QTableWidget"}) {
                if (named && w->inherits(kind) && ++controls && w->toolTip().isEmpty())
                    missing << w->objectName();
            }
        }
    }
    QVERIFY(controls >= 60);
    QVERIFY2(missing.isEmpty(), qPrintable(missing.join(' ')));
}

void TestMainWindow::menuActions_data()
{
    QTest::addColumn<QByteArray>("ini"); // "<missing>": no file; line ends, FIFOs: PathIni's test
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QUrl>("url"); // empty: nothing opened

    const QString dir = QCoreApplication::applicationDirPath();
    const QByteArray complete("https://example.com/elsewhere\n"
                              "file:///opt/tavrino/docs/tutorial.html\n/docs/protocol.html\n");
    const QUrl protocol = QUrl::fromLocalFile(dir + QStringLiteral("/docs/protocol.html"));
    const QUrl tutorial(QStringLiteral("file:///opt/tavrino/docs/tutorial.html"));
    const QUrl elsewhere(QStringLiteral("https://example.com/elsewhere"));
    const QString about = QStringLiteral("https://tavrino.example.org/");
    const QString failed = QStringLiteral("打开失败");
    const QString lost = QStringLiteral("打开失败,配置文件丢失，请重新安装软件");
    const QString damaged = QStringLiteral("打开失败，配置文件损坏，请修改");
    // Schemes nobody handles: the offscreen platform opens nothing.
    const QByteArray unhandled("ftp://example.org/\nftp://example.org/t\n/docs/protocol.html\n");
    const auto row = [](const char *name, const QByteArray &ini, const char *action,
                        const QString &message, const QUrl &url) {
        QTest::newRow(name) << ini << QString(action) << message << url;
    };
    for (const char *action : {"about", "protocol", "tutorial"})
        QTest::addRow("no path.ini, %s", action)
            << QByteArray("<missing>") << action << lost << QUrl();
    row("two lines", "https://example.com/\nfile:///t.html\n", "protocol", damaged, QUrl());
    row("about shows its own address", complete, "about", about, elsewhere);
    row("tutorial", complete, "tutorial", QStringLiteral("已打开教程"), tutorial);
    row("protocol, last line without its end", complete.chopped(1), "protocol",
        QStringLiteral("已打开协议"), protocol);
    row("three blank lines, protocol opens the folder", "\n\n\n", "protocol",
        QStringLiteral("已打开协议"), QUrl::fromLocalFile(dir));
    row("about refused by the desktop", unhandled, "about", failed + ' ' + about, QUrl());
    // Without a handler the message names where the document is.
    row("tutorial refused by the desktop", unhandled, "tutorial",
        QStringLiteral("打开失败，请用浏览器打开 ftp://example.org/t"), QUrl());
}

void TestMainWindow::menuActions()
{
    QFETCH(QByteArray, ini);
    QFETCH(QString, action);
    QFETCH(QUrl, url);
    QCOMPARE(QGuiApplication::platformName(), QStringLiteral("offscreen"));
    removeIni();
    catcher.opened.clear();
    if (ini != "<missing>")
        QVERIFY(writeFile(iniPath, ini));
    WindowDriver d;
    const QStringList item = action == QLatin1String("about") ? QStringList{"关于", "Tavrino"}
                             : action == QLatin1String("protocol") ? QStringList{"帮助", "协议详解"}
                                                                   : QStringList{"帮助", "教程"};
    trigger(d, item[0], item[1]);
    QTEST(d.status(), "message");
    QCOMPARE(catcher.opened, url.isEmpty() ? QList<QUrl>() : QList<QUrl>{url});
}

// The window in each language, installed as main does before the window is built: the form's,
// the code's and the menu's texts, Qt's own, the parity box read back, the menu's document.
void TestMainWindow::language_data()
{
    QTest::addColumn<int>("language");
    QTest::addColumn<QString>("texts"); // title|button|status|odd|Qt's cancel|menu|item|file
    QTest::newRow("zh") << int(Language::Chinese)
                        << QString("Tavrino串口PID调试助手|打开串口|欢迎使用TavrinoPID调试助手！|"
                                   "奇|取消|帮助|协议详解|protocol.html");
    QTest::newRow("en") << int(Language::English)
                        << QString("Tavrino Serial PID Assistant|Open port|Welcome to the "
                                   "Tavrino PID assistant!|Odd|Cancel|Help|Protocol|"
                                   "protocol.en.html");
}

void TestMainWindow::language()
{
    QFETCH(int, language);
    QFETCH(QString, texts);
    const QStringList text = texts.split('|');
    InterfaceTranslation translation;
    QVERIFY(translation.install(Language::Code(language)));
    const QString docs = QCoreApplication::applicationDirPath() + QStringLiteral("/tst-docs/");
    QVERIFY(QDir().mkpath(docs));
    for (const char *name : {"protocol.html", "protocol.en.html"})
        QVERIFY(writeFile(docs + QLatin1String(name), QByteArray()));
    removeIni();
    QVERIFY(writeFile(iniPath, "https://example.com/\nfile:///t.html\n/tst-docs/protocol.html\n"));
    catcher.opened.clear();

    WindowDriver d;
    QCOMPARE(d.window().windowTitle(), text[0]);
    QCOMPARE(d.child<QAbstractButton>("buttonOpenportPID")->text(), text[1]);
    QCOMPARE(d.status(), text[2]);
    const QString odd = d.child<QComboBox>("comboCheckbitPID")->itemText(2);
    QCOMPARE(odd, text[3]);
    QCOMPARE(PortSettings::fromTexts("9600", "8", odd, "1").parity, PortSettings::Parity::Odd);
    QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), text[4]);
    trigger(d, text[5], text[6]);
    QCOMPARE(catcher.opened, QList<QUrl>{QUrl::fromLocalFile(docs + text[7])});
    QDir(docs).removeRecursively();
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
