// The menu actions and path.ini beside the executable; what would be opened is caught.
#include "app/mainwindow.h"

#include <QDesktopServices>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QtTest>

// Stands in for the desktop: records every URL instead of opening it.
class UrlCatcher : public QObject
{
    Q_OBJECT

public:
    QList<QUrl> opened;

public Q_SLOTS:
    void open(const QUrl &url) { opened.append(url); }
};

class MenuTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void cleanup();

    void actions_data();
    void actions();
    void refusedByDesktop_data();
    void refusedByDesktop();

private:
    void writeIni(const QByteArray &content);
    void removeIni();
    void triggerFromMenu(MainWindow &window, const QString &menuTitle, const QString &actionText);
    void triggerAction(MainWindow &window, const QString &action);

    QString iniPath;
    QString savedIniPath;
    UrlCatcher catcher;
};

namespace {
const QByteArray missing("<missing>");
const QByteArray folder("<folder>");
const QString about = QStringLiteral("https://tavrino.example.org/");
const QString lost = QStringLiteral("打开失败,配置文件丢失，请重新安装软件");
const QString damaged = QStringLiteral("打开失败，配置文件损坏，请修改");
} // namespace

void MenuTest::initTestCase()
{
    iniPath = QCoreApplication::applicationDirPath() + QStringLiteral("/path.ini");
    // Keep whatever lies beside the test binary and put it back afterwards.
    if (QFileInfo::exists(iniPath)) {
        savedIniPath = iniPath + QStringLiteral(".saved-by-tst_menu");
        QFile::remove(savedIniPath);
        QVERIFY(QFile::rename(iniPath, savedIniPath));
    }
    for (const char *scheme : {"http", "https", "file"})
        QDesktopServices::setUrlHandler(QLatin1String(scheme), &catcher, "open");
}

void MenuTest::cleanupTestCase()
{
    for (const char *scheme : {"http", "https", "file"})
        QDesktopServices::unsetUrlHandler(QLatin1String(scheme));
    removeIni();
    if (!savedIniPath.isEmpty())
        QFile::rename(savedIniPath, iniPath);
}

void MenuTest::cleanup()
{
    removeIni();
    catcher.opened.clear();
}

void MenuTest::writeIni(const QByteArray &content)
{
    removeIni();
    if (content == missing)
        return;
    if (content == folder) {
        QVERIFY(QDir().mkdir(iniPath));
        return;
    }
    QFile file(iniPath);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(content), qint64(content.size()));
}

void MenuTest::removeIni()
{
    QFile::remove(iniPath);
    QDir().rmdir(iniPath);
}

void MenuTest::triggerFromMenu(MainWindow &window, const QString &menuTitle,
                               const QString &actionText)
{
    QMenuBar *bar = window.menuBar();
    QAction *menuAction = nullptr;
    for (QAction *a : bar->actions())
        if (a->text() == menuTitle)
            menuAction = a;
    QVERIFY2(menuAction && menuAction->menu(), qPrintable(menuTitle));
    QMenu *menu = menuAction->menu();

    QTest::mouseClick(bar, Qt::LeftButton, Qt::NoModifier,
                      bar->actionGeometry(menuAction).center());
    QTRY_VERIFY(menu->isVisible());
    QAction *action = nullptr;
    for (QAction *a : menu->actions())
        if (a->text() == actionText)
            action = a;
    QVERIFY2(action, qPrintable(actionText));
    QSignalSpy triggered(action, &QAction::triggered);
    QTest::mouseClick(menu, Qt::LeftButton, Qt::NoModifier, menu->actionGeometry(action).center());
    QTRY_COMPARE(triggered.count(), 1);
    QTRY_VERIFY(!menu->isVisible());
}

void MenuTest::triggerAction(MainWindow &window, const QString &action)
{
    if (action == QLatin1String("about"))
        triggerFromMenu(window, QStringLiteral("关于"), QStringLiteral("Tavrino"));
    else if (action == QLatin1String("protocol"))
        triggerFromMenu(window, QStringLiteral("帮助"), QStringLiteral("协议详解"));
    else
        triggerFromMenu(window, QStringLiteral("帮助"), QStringLiteral("教程"));
}

void MenuTest::actions_data()
{
    QTest::addColumn<QByteArray>("ini");
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("expectedMessage");
    QTest::addColumn<QUrl>("expectedUrl"); // empty: nothing opened

    const QString dir = QCoreApplication::applicationDirPath();
    const QByteArray complete("https://example.com/elsewhere\n"
                              "file:///opt/tavrino/docs/tutorial.html\n"
                              "/docs/protocol.html\n");
    const QUrl protocol = QUrl::fromLocalFile(dir + QStringLiteral("/docs/protocol.html"));
    const QUrl tutorial(QStringLiteral("file:///opt/tavrino/docs/tutorial.html"));
    const QUrl elsewhere(QStringLiteral("https://example.com/elsewhere"));

    for (const char *action : {"about", "protocol", "tutorial"}) {
        const QString a = QLatin1String(action);
        QTest::addRow("no path.ini, %s", action) << missing << a << lost << QUrl();
        QTest::addRow("path.ini is a folder, %s", action) << folder << a << lost << QUrl();
        QTest::addRow("empty path.ini, %s", action) << QByteArray() << a << damaged << QUrl();
        QTest::addRow("two lines, %s", action)
            << QByteArray("https://example.com/\nfile:///t.html\n") << a << damaged << QUrl();
    }

    QTest::newRow("about shows its own address") << complete << "about" << about << elsewhere;
    QTest::newRow("tutorial") << complete << "tutorial" << QStringLiteral("已打开教程") << tutorial;
    QTest::newRow("protocol") << complete << "protocol" << QStringLiteral("已打开协议") << protocol;
    QTest::newRow("CR LF line ends")
        << QByteArray(complete).replace("\n", "\r\n") << "about" << about << elsewhere;
    QTest::newRow("tutorial on the web")
        << QByteArray("x\nhttp://example.com/tutorial\n/p\n") << "tutorial"
        << QStringLiteral("已打开教程") << QUrl(QStringLiteral("http://example.com/tutorial"));
    QTest::newRow("URL parsed tolerantly")
        << QByteArray("https://example.com/a b\n\n/p\n") << "about" << about
        << QUrl(QStringLiteral("https://example.com/a%20b"));
    QTest::newRow("protocol without leading slash")
        << QByteArray("a\nb\ndocs/protocol.html\n") << "protocol" << QStringLiteral("已打开协议")
        << QUrl::fromLocalFile(dir + QStringLiteral("docs/protocol.html"));
    QTest::newRow("extra lines ignored") << complete + "more\nand more\n"
                                         << "protocol" << QStringLiteral("已打开协议") << protocol;
    QTest::newRow("last line without its end")
        << complete.chopped(1) << "protocol" << QStringLiteral("已打开协议") << protocol;
    QTest::newRow("three blank lines pass, protocol opens the folder")
        << QByteArray("\n\n\n") << "protocol" << QStringLiteral("已打开协议")
        << QUrl::fromLocalFile(dir);
    QTest::newRow("three blank lines, about has nothing to open")
        << QByteArray("\n\n\n") << "about" << QStringLiteral("打开失败 ") + about << QUrl();
    QTest::newRow("three blank lines, tutorial has nothing to open")
        << QByteArray("\n\n\n") << "tutorial" << QStringLiteral("打开失败") << QUrl();
}

void MenuTest::actions()
{
    QFETCH(QByteArray, ini);
    QFETCH(QString, action);
    QFETCH(QString, expectedMessage);
    QFETCH(QUrl, expectedUrl);

    writeIni(ini);
    MainWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    triggerAction(window, action);

    QCOMPARE(window.statusBar()->currentMessage(), expectedMessage);
    if (expectedUrl.isEmpty())
        QVERIFY(catcher.opened.isEmpty());
    else
        QCOMPARE(catcher.opened, QList<QUrl>{expectedUrl});
}

void MenuTest::refusedByDesktop_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("expectedMessage");
    QTest::newRow("about") << "about" << QStringLiteral("打开失败 ") + about;
    QTest::newRow("tutorial") << "tutorial" << QStringLiteral("打开失败");
}

// A scheme nobody handles: the offscreen platform opens nothing and says so.
void MenuTest::refusedByDesktop()
{
    if (QGuiApplication::platformName() != QLatin1String("offscreen"))
        QSKIP("only the offscreen platform is sure to refuse");
    QFETCH(QString, action);
    QFETCH(QString, expectedMessage);

    writeIni("ftp://example.org/\nftp://example.org/tutorial\n/docs/protocol.html\n");
    MainWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    triggerAction(window, action);
    QCOMPARE(window.statusBar()->currentMessage(), expectedMessage);
    QVERIFY(catcher.opened.isEmpty());
}

QTEST_MAIN(MenuTest)
#include "tst_menu.moc"
