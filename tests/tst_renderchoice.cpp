// The chart's renderer decision: which GL_RENDERER strings draw through OpenGL, and the
// TAVRINO_OPENGL override. Needs no display.
#include "chart/renderchoice.h"

#include <QtTest>

class TestRenderChoice : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void decide_data();
    void decide();
};

void TestRenderChoice::decide_data()
{
    QTest::addColumn<QString>("renderer");
    QTest::addColumn<QByteArray>("override");
    QTest::addColumn<bool>("openGL");

    const QByteArray unset;
    // Software renderers as Mesa, Windows and others name them.
    QTest::newRow("llvmpipe") << "llvmpipe (LLVM 15.0.6, 256 bits)" << unset << false;
    QTest::newRow("softpipe") << "softpipe" << unset << false;
    QTest::newRow("swrast") << "Mesa DRI swrast" << unset << false;
    QTest::newRow("old Mesa") << "Software Rasterizer" << unset << false;
    QTest::newRow("Windows 1.1") << "GDI Generic" << unset << false;
    QTest::newRow("WARP") << "ANGLE (Microsoft Basic Render Driver Direct3D11 vs_5_0 ps_5_0)"
                          << unset << false;
    QTest::newRow("SwiftShader") << "Google SwiftShader" << unset << false;
    QTest::newRow("Apple") << "Apple Software Renderer" << unset << false;
    QTest::newRow("no context") << "" << unset << false;
    // Hardware.
    QTest::newRow("Intel") << "Mesa Intel(R) UHD Graphics 620 (KBL GT2)" << unset << true;
    QTest::newRow("AMD") << "AMD Radeon RX 6600 (navi23, LLVM 15.0.6, DRM 3.49, 6.1.0)" << unset
                         << true;
    QTest::newRow("NVIDIA") << "NVIDIA GeForce GTX 1650/PCIe/SSE2" << unset << true;
    QTest::newRow("ANGLE hardware")
        << "ANGLE (Intel(R) UHD Graphics 630 Direct3D11 vs_5_0 ps_5_0)" << unset << true;
    // The override, both ways; forcing OpenGL still needs a context.
    QTest::newRow("0 over hardware")
        << "NVIDIA GeForce GTX 1650/PCIe/SSE2" << QByteArray("0") << false;
    QTest::newRow("1 over llvmpipe")
        << "llvmpipe (LLVM 15.0.6, 256 bits)" << QByteArray("1") << true;
    QTest::newRow("1 without context") << "" << QByteArray("1") << false;
    QTest::newRow("1 with blanks") << "softpipe" << QByteArray(" 1\n") << true;
    // Anything else is no override.
    QTest::newRow("yes ignored") << "llvmpipe (LLVM 15.0.6, 256 bits)" << QByteArray("yes")
                                 << false;
    QTest::newRow("empty ignored") << "NVIDIA GeForce GTX 1650/PCIe/SSE2" << QByteArray("") << true;
}

void TestRenderChoice::decide()
{
    QFETCH(QString, renderer);
    QFETCH(QByteArray, override);
    QFETCH(bool, openGL);
    const RenderChoice choice = RenderChoice::decide(renderer, override);
    QCOMPARE(choice.openGL, openGL);
    // The log line says why, naming the renderer or the override.
    QVERIFY(!choice.reason.isEmpty());
    if (!override.trimmed().isEmpty() && override.trimmed() != "yes")
        QVERIFY2(choice.reason.contains(QLatin1String("TAVRINO_OPENGL")),
                 qPrintable(choice.reason));
    else if (!renderer.isEmpty())
        QVERIFY2(choice.reason.contains(renderer), qPrintable(choice.reason));
}

QTEST_GUILESS_MAIN(TestRenderChoice)
#include "tst_renderchoice.moc"
