// The parameter fields without the window, on a link whose line is a buffer: scripts of what the
// user types and presses and what the board sends, against the bytes written, the messages and
// the fields with their marks.
#include "pidlink/parameterpanel.h"
#include "pidlink/pidlink.h"
#include "tests/support/testdata.h"

#include <QBuffer>
#include <QCheckBox>
#include <QLineEdit>
#include <QtTest>

#include <cstring>

class ParameterPanelTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void scripts_data();
    void scripts();
};

void ParameterPanelTest::scripts_data()
{
    QTest::addColumn<QString>("script");
    QTest::addColumn<QString>("log");
    // Steps: "e P text" the user types into P (I, D, T target, A actual); "w P", "r P" its write
    // and read buttons; "c n" channel n (0..3); "v" the verify box ticked; "b P ch value" the
    // board's value; "q P ch" the board's read request; "f" the fields, * marking a confirmed
    // and ! an invalid one. Logged: the bytes written (>), the messages.
    QTest::newRow("typos refused and marked until edited; numbers sent as ever")
        << "e P abc; w P; e I; w I; f; e P  -2 ; f; w P"
        << "参数无效，未发送 | 参数无效，未发送 | P=abc! I=! D=0 T=0 A=0 | P= -2  I=! D=0 T=0 A=0 "
           "| > 43 01 01 00 00 00 00 00 c0 0a | 已发送P";
    QTest::newRow("each channel its own values; the start texts are channel 0's, typed")
        << "e P 2; w P; e I 7; c 1; f; b T 1 3.5; e D 9; c 0; f; b D 1 4; c 1; f; b A 0 5; "
           "b A 1 6; f"
        << "> 43 01 01 00 00 00 00 00 40 0a | 已发送P | P= I= D= T= A= | 成功接收目标值 | "
           "P=2 I=7 D=0 T=0 A=0 | 成功接收D（通道2） | P= I= D=4* T=3.5* A= | "
           "成功接收实际值（通道1） | 成功接收实际值 | P= I= D=4* T=3.5* A=6";
    QTest::newRow("a confirmed value keeps its mark across switches until edited")
        << "b P 0 0.123456789; c 2; c 0; f; e P 0.123457; c 3; c 0; f"
        << "成功接收P | P=0.123457* I=0 D=0 T=0 A=0 | P=0.123457 I=0 D=0 T=0 A=0";
    QTest::newRow("board's reads: the shown field, exactly; another channel's kept value; none")
        << "b P 0 0.123456789; q P 0; e I x; q I 0; f; c 1; q D 0; q D 1; q T 9"
        << "成功接收P | > 43 01 01 00 00 ea d6 fc 3d 0a | 成功发送P | 参数无效，未发送 | "
           "P=0.123457* I=x! D=0 T=0 A=0 | > 43 03 01 00 00 00 00 00 00 0a | 成功发送D | "
           "参数无效，未发送 | 参数无效，未发送";
    QTest::newRow("verify: the board keeps another value")
        << "v; e T 5; w T; b T 0 4.5; f"
        << "> 43 04 01 00 00 00 00 a0 40 0a | 已发送目标值 | > 43 04 00 00 00 00 00 00 00 0a | "
           "校验失败：板子返回 4.5 | P=1.0 I=0 D=0 T=4.5* A=0";
}

void ParameterPanelTest::scripts()
{
    QFETCH(QString, script);
    const char letters[] = "PIDTA";
    const quint8 ops[] = {CmdP, CmdI, CmdD, CmdTarget, CmdActual};
    QBuffer wire;
    wire.open(QIODevice::WriteOnly);
    PidLink link;
    link.setDevice(&wire);
    QLineEdit e[5];
    for (int i = 0; i < 5; ++i)
        e[i].setText(i ? QStringLiteral("0") : QStringLiteral("1.0"));
    QCheckBox verify;
    ParameterPanel panel(&link, {&e[0], &e[1], &e[2], &e[3], &e[4]}, &verify);
    QStringList log;
    const auto flush = [&] { // what went onto the line since the last look
        if (!wire.data().isEmpty())
            log << QStringLiteral("> ") + QString::fromLatin1(wire.data().toHex(' '));
        wire.buffer().clear();
        wire.seek(0);
    };
    connect(&panel, &ParameterPanel::message, this, [&](const QString &m) { flush(), log << m; });
    for (const QString &step : script.split(QStringLiteral("; "))) {
        const QStringList w = step.split(QLatin1Char(' '));
        const char what = w.at(0).at(0).toLatin1();
        const int at =
            w.size() > 1 ? int(std::strchr(letters, w.at(1).at(0).toLatin1()) - letters) : 0;
        if (what == 'e') {
            QTest::keyClick(&e[at], Qt::Key_A, Qt::ControlModifier);
            QTest::keyClick(&e[at], Qt::Key_Delete);
            QTest::keyClicks(&e[at], step.mid(4));
        } else if (what == 'w' || what == 'r') {
            what == 'w' ? panel.write(ops[at]) : panel.read(ops[at]);
        } else if (what == 'c') {
            panel.selectChannel(w.at(1).toInt());
        } else if (what == 'v') {
            verify.setChecked(true);
        } else if (what == 'b' || what == 'q') {
            link.feed(commandFrame(ops[at], what == 'b' ? DirWrite : DirRead, w.at(2).toInt(),
                                   what == 'b' ? w.at(3).toFloat() : 0.0f));
        } else if (what == 'f') {
            QStringList shown;
            for (int i = 0; i < 5; ++i)
                shown << QLatin1Char(letters[i]) + QStringLiteral("=") + e[i].text() +
                             QStringList{"", "!", "*"}.at(int(ParameterPanel::markOf(&e[i])));
            log << shown.join(QLatin1Char(' '));
        }
        flush();
    }
    QTEST(log.join(QStringLiteral(" | ")), "log");
}

QTEST_MAIN(ParameterPanelTest)
#include "tst_parameterpanel.moc"
