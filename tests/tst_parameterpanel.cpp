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

namespace {
const char letters[] = "PIDTA";
const quint8 ops[] = {CmdP, CmdI, CmdD, CmdTarget, CmdActual};
} // namespace

class ParameterPanelTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void scripts_data();
    void scripts();
};

void ParameterPanelTest::scripts_data()
{
    QTest::addColumn<QStringList>("script");
    QTest::addColumn<QStringList>("log");
    const QString invalid = QStringLiteral("参数无效，未发送");
    // Steps: "e P text" the user types into P; "w P", "r P" the write and read buttons;
    // "c n" channel n (0..3); "v" the verify box; "b P ch value" the board's value;
    // "q P ch" the board's read request; "x" the port closes; "f" the fields, * for a confirmed
    // and ! for an invalid mark. Logged: "> bytes" written, the messages.
    QTest::newRow("typos refused, marked until edited, numbers sent as they always were")
        << QStringList{"e P abc", "w P", "f",       "e I 0,5", "w I", "e D",      "w D", "e T 1e99",
                       "w T",     "f",   "e P 1.5", "f",       "w P", "e T  -2 ", "w T", "f"}
        << QStringList{invalid,
                       "P=abc! I=0 D=0 T=0 A=0",
                       invalid,
                       invalid,
                       invalid,
                       "P=abc! I=0,5! D=! T=1e99! A=0",
                       "P=1.5 I=0,5! D=! T=1e99! A=0",
                       "> 43 01 01 00 00 00 00 c0 3f 0a",
                       "已发送P",
                       "> 43 04 01 00 00 00 00 00 c0 0a",
                       "已发送目标值",
                       "P=1.5 I=0,5! D=! T= -2  A=0"};
    QTest::newRow("each channel shows its own values; start texts are channel 0's, typed")
        << QStringList{"e P 2", "w P",     "e I 7", "c 1", "f",       "b T 1 3.5", "e D 9", "c 0",
                       "f",     "b D 1 4", "c 1",   "f",   "b A 0 5", "b A 1 6",   "f"}
        << QStringList{"> 43 01 01 00 00 00 00 00 40 0a",
                       "已发送P",
                       "P= I= D= T= A=",
                       "成功接收目标值",
                       "P=2 I=7 D=0 T=0 A=0",
                       "成功接收D（通道2）",
                       "P= I= D=4* T=3.5* A=",
                       "成功接收实际值（通道1）",
                       "成功接收实际值",
                       "P= I= D=4* T=3.5* A=6"};
    QTest::newRow("a confirmed value keeps its mark across switches until edited")
        << QStringList{"b P 0 0.123456789", "c 2", "c 0", "f", "e P 0.123457", "c 3", "c 0", "f"}
        << QStringList{"成功接收P", "P=0.123457* I=0 D=0 T=0 A=0", "P=0.123457 I=0 D=0 T=0 A=0"};
    QTest::newRow("the board's read requests: the shown channel's field, another's kept value")
        << QStringList{"b P 0 0.123456789",
                       "q P 0",
                       "e I x",
                       "q I 0",
                       "f",
                       "c 1",
                       "q D 0",
                       "q D 1",
                       "q T 9"}
        << QStringList{"成功接收P",
                       "> 43 01 01 00 00 ea d6 fc 3d 0a",
                       "成功发送P",
                       invalid,
                       "P=0.123457* I=x! D=0 T=0 A=0",
                       "> 43 03 01 00 00 00 00 00 00 0a",
                       "成功发送D",
                       invalid,
                       invalid};
    QTest::newRow("verify: the board echoes")
        << QStringList{"v", "c 2", "e P 1.1", "w P", "b P 2 1.1", "f"}
        << QStringList{"> 43 01 01 02 00 cd cc 8c 3f 0a", "已发送P",
                       "> 43 01 00 02 00 00 00 00 00 0a", "成功接收P，校验通过",
                       "P=1.1* I= D= T= A="};
    QTest::newRow("verify: the board keeps another value")
        << QStringList{"v", "e T 5", "w T", "b T 0 4.5", "f"}
        << QStringList{"> 43 04 01 00 00 00 00 a0 40 0a", "已发送目标值",
                       "> 43 04 00 00 00 00 00 00 00 0a", "校验失败：板子返回 4.5",
                       "P=1.0 I=0 D=0 T=4.5* A=0"};
    QTest::newRow("port closed: nothing sent, nothing waited for")
        << QStringList{"x", "w P", "r A", "b P 0 1"}
        << QStringList{"串口未打开，发送失败", "串口未打开，发送失败", "成功接收P"};
}

void ParameterPanelTest::scripts()
{
    QFETCH(QStringList, script);
    QBuffer wire;
    wire.open(QIODevice::WriteOnly);
    PidLink link;
    link.setDevice(&wire);
    QLineEdit edits[5];
    for (int i = 0; i < 5; ++i)
        edits[i].setText(i ? QStringLiteral("0") : QStringLiteral("1.0"));
    QCheckBox verify;
    ParameterPanel panel(&link, {&edits[0], &edits[1], &edits[2], &edits[3], &edits[4]}, &verify);
    QStringList log;
    const auto flush = [&] { // what went onto the line since the last look
        if (!wire.data().isEmpty())
            log << QStringLiteral("> ") + QString::fromLatin1(wire.data().toHex(' '));
        wire.buffer().clear();
        if (wire.isOpen())
            wire.seek(0);
    };
    connect(&panel, &ParameterPanel::message, this, [&](const QString &m) { flush(), log << m; });
    for (const QString &step : script) {
        const QStringList w = step.split(QLatin1Char(' '));
        const char what = w.at(0).at(0).toLatin1();
        const int at =
            w.size() > 1 ? int(std::strchr(letters, w.at(1).at(0).toLatin1()) - letters) : 0;
        const int channel = w.size() > 2 ? w.at(2).toInt() : 0;
        if (what == 'e') {
            QTest::keyClick(&edits[at], Qt::Key_A, Qt::ControlModifier);
            QTest::keyClick(&edits[at], Qt::Key_Delete);
            QTest::keyClicks(&edits[at], step.mid(4));
        } else if (what == 'w' || what == 'r') {
            what == 'w' ? panel.write(ops[at]) : panel.read(ops[at]);
        } else if (what == 'c') {
            panel.selectChannel(w.at(1).toInt());
        } else if (what == 'v') {
            verify.setChecked(true);
        } else if (what == 'b' || what == 'q') {
            const float value = what == 'b' ? w.at(3).toFloat() : 0.0f;
            link.feed(commandFrame(ops[at], what == 'b' ? DirWrite : DirRead, channel, value));
        } else if (what == 'x') {
            wire.close();
        } else if (what == 'f') {
            QStringList shown;
            for (int i = 0; i < 5; ++i) {
                const ParameterPanel::Mark mark = ParameterPanel::markOf(&edits[i]);
                shown << QLatin1Char(letters[i]) + QStringLiteral("=") + edits[i].text() +
                             (mark == ParameterPanel::Mark::Confirmed ? "*"
                              : mark == ParameterPanel::Mark::Invalid ? "!"
                                                                      : "");
            }
            log << shown.join(QLatin1Char(' '));
        }
        flush();
    }
    QTEST(log, "log");
}

QTEST_MAIN(ParameterPanelTest)
#include "tst_parameterpanel.moc"
