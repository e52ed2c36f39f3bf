// The PID link on a buffer standing in for the port: the commands it writes, what it makes
// of the board's frames and text lines, who starts and stops the run, and a line that goes
// away mid-frame; the parameter fields' object on it.
#include "pidlink/parameterpanel.h"
#include "pidlink/pidlink.h"
#include "tests/support/testdata.h"

#include <QBuffer>
#include <QCheckBox>
#include <QLineEdit>
#include <QtTest>

#include <cstring>

namespace {
using Chunks = QList<QByteArray>;
const QByteArray startFrame = hex("43 07 00 00 00 00 00 00 00 0a");
const QByteArray stopFrame = hex("43 08 00 00 00 00 00 00 00 0a");
} // namespace

class PidLinkTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void commands_data();
    void commands();
    void boardFrames_data();
    void boardFrames();
    void runControl_data();
    void runControl();
    void stringMode();
    void lineGoneMidFrame_data();
    void lineGoneMidFrame();
    void readsItsDevice();
    void parameterFields_data();
    void parameterFields();

private:
    // Everything the link reports, one line per signal.
    QStringList feed(const Chunks &chunks)
    {
        reports.clear();
        for (const QByteArray &chunk : chunks)
            link->feed(chunk);
        return reports;
    }
    // A signal's name and arguments as one line of the report.
    template <typename... Args> auto report(const char *name)
    {
        return [this, name](Args... args) {
            QStringList line{QString::fromLatin1(name)};
            (line.append(QString::number(args)), ...);
            reports << line.join(QLatin1Char(' '));
        };
    }
    QByteArray written() const { return wire->data().toHex(' '); }
    QVector<quint64> frameHealth() const
    {
        const auto &h = link->frameHealth();
        return {h.frames, h.discarded, h.resyncs};
    }

    std::unique_ptr<QBuffer> wire;
    std::unique_ptr<PidLink> link;
    QStringList reports;
};

void PidLinkTest::init()
{
    wire = std::make_unique<QBuffer>();
    wire->open(QIODevice::WriteOnly);
    link = std::make_unique<PidLink>();
    link->setDevice(wire.get());
    // The program's fields: P holds 1.5, I 2.5, D 3.5, the target 4.5.
    link->setParameterSource([](quint8 op, quint8) { return float(op) + 0.5f; });
    reports.clear();
    // The samples of one delivery on one line.
    connect(link.get(), &PidLink::samplesReceived, this, [this](const ChannelSamples &samples) {
        QStringList line;
        for (const ChannelSample &s : samples)
            line << QString::asprintf("%d %g %g", s.channel, double(s.actual), double(s.target));
        reports << "samples " + line.join(", ");
    });
    connect(link.get(), &PidLink::parameterReceived, this, report<int, int, float>("value"));
    connect(link.get(), &PidLink::readRequestAnswered, this, report<int, float>("answered"));
    connect(link.get(), &PidLink::parameterWritten, this, report<int, int, float>("written"));
    connect(link.get(), &PidLink::runChanged, this,
            [this](bool on) { reports << (on ? "run on" : "run off"); });
    connect(link.get(), &PidLink::runStatus, this, [this](const QString &m) { reports << m; });
    connect(link.get(), &PidLink::linkError, this, [this](const QString &m) { reports << m; });
}

void PidLinkTest::commands_data()
{
    QTest::addColumn<bool>("open");
    QTest::addColumn<int>("op"); // 7: the run on, 8: the run on and off
    QTest::addColumn<int>("channel");
    QTest::addColumn<QString>("value"); // null: a read request
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("reported");
    const auto row = [](const char *name, bool open, int op, int channel, const char *value,
                        const char *bytes, const QStringList &reported = {}) {
        QTest::newRow(name) << open << op << channel << QString(value) << hex(bytes) << reported;
    };
    row("write P on CH3", true, CmdP, 2, "1.5", "43 01 01 02 00 00 00 c0 3f 0a",
        {"written 1 2 1.5"});
    row("write D on CH4", true, CmdD, 3, "-0.25", "43 03 01 03 00 00 00 80 be 0a",
        {"written 3 3 -0.25"});
    row("write target holding 0x0A", true, CmdTarget, 0, "8.625", "43 04 01 00 00 00 00 0a 41 0a",
        {"written 4 0 8.625"});
    row("read I on CH2", true, CmdI, 1, nullptr, "43 02 00 01 00 00 00 00 00 0a");
    row("read the actual value", true, CmdActual, 0, nullptr, "43 06 00 00 00 00 00 00 00 0a");
    row("write with the port closed", false, CmdP, 0, "1", "");
    row("read with the port closed", false, CmdP, 0, nullptr, "");
    // Start and stop carry channel 0; setting the run it already has changes nothing.
    row("run on", true, CmdStart, 0, nullptr, "43 07 00 00 00 00 00 00 00 0a",
        {"run on", "开始PID调试"});
    row("run on and off", true, CmdStop, 0, nullptr,
        "43 07 00 00 00 00 00 00 00 0a 43 08 00 00 00 00 00 00 00 0a",
        {"run on", "开始PID调试", "run off", "停止PID调试"});
    row("run with the port closed", false, CmdStart, 0, nullptr, "", {"run on", "开始PID调试"});
}

void PidLinkTest::commands()
{
    QFETCH(bool, open);
    QFETCH(int, op);
    QFETCH(int, channel);
    QFETCH(QString, value);
    QFETCH(QByteArray, bytes);
    if (!open)
        wire->close();
    if (op == CmdStart || op == CmdStop) {
        link->setRunActive(true);
        link->setRunActive(true);
        if (op == CmdStop)
            link->setRunActive(false);
        QCOMPARE(link->runActive(), op == CmdStart);
    } else if (value.isNull()) {
        QCOMPARE(link->requestParameter(quint8(op), quint8(channel)), open);
    } else {
        QCOMPARE(link->writeParameter(quint8(op), quint8(channel), value.toFloat()), open);
    }
    QCOMPARE(written(), bytes.toHex(' '));
    QTEST(reports, "reported");
}

void PidLinkTest::boardFrames_data()
{
    QTest::addColumn<Chunks>("chunks");
    QTest::addColumn<QStringList>("reported");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QVector<quint64>>("health"); // frames, bytes dropped, resyncs
    const QByteArray s0 = sampleFrame(0, 1.5f, 2.0f), s1 = sampleFrame(1, 8.625f, -1.0f);
    const auto row = [](const char *name, const Chunks &chunks, const QStringList &reported,
                        const char *reply = "", const QVector<quint64> &health = {1, 0, 0}) {
        QTest::newRow(name) << chunks << reported << hex(reply) << health;
    };
    row("P value", {hex("43 01 01 00 00 00 00 20 40 0a")}, {"value 1 0 2.5"});
    row("I value of CH4", {hex("43 02 01 03 00 00 00 0a 41 0a")}, {"value 2 3 8.625"});
    row("D value, direction 2", {hex("43 03 02 00 00 00 00 80 3f 0a")}, {"value 3 0 1"});
    row("actual value", {hex("43 06 01 00 00 00 00 48 c2 0a")}, {"value 6 0 -50"});
    // A read request is answered with the program's number, on channel 0.
    row("P read request", {hex("43 01 00 00 00 00 00 00 00 0a")}, {"answered 1 1.5"},
        "43 01 01 00 00 00 00 c0 3f 0a");
    row("target read request on CH3", {hex("43 04 00 02 00 00 00 00 00 0a")}, {"answered 4 4.5"},
        "43 04 01 00 00 00 00 90 40 0a");
    row("actual read request ignored", {hex("43 06 00 00 00 00 00 00 00 0a")}, {});
    row("unused operation", {hex("43 05 01 00 00 00 00 80 3f 0a")}, {});
    row("bad terminator, then a frame", {s0.left(9) + '\r' + s1},
        {"校验错误", "samples 1 8.625 -1"}, "", {1, 10, 1});
    // What came between samples of one read is told between them.
    row("a value between samples", {s0 + hex("43 01 01 00 00 00 00 20 40 0a") + s1},
        {"samples 0 1.5 2", "value 1 0 2.5", "samples 1 8.625 -1"}, "", {3, 0, 0});
    // Joined mid-frame, noise, a frame split over reads: nothing lost but the noise.
    row("through noise", {s0.mid(3) + s1 + "xyz" + s0.left(4), s0.mid(4) + s1},
        {"数据帧头错误", "samples 1 8.625 -1", "数据帧头错误", "samples 0 1.5 2, 1 8.625 -1"}, "",
        {3, 10, 2});
}

void PidLinkTest::boardFrames()
{
    QFETCH(Chunks, chunks);
    QFETCH(QByteArray, reply);
    QTEST(feed(chunks), "reported");
    QCOMPARE(written(), reply.toHex(' '));
    QTEST(frameHealth(), "health");
    link->resetHealth();
    QCOMPARE(frameHealth(), QVector<quint64>(3, 0));
}

void PidLinkTest::runControl_data()
{
    // b: the button, S and T: the board's start and stop, c: the port closed (and opened again).
    QTest::addColumn<QString>("events");
    QTest::addColumn<QString>("frames"); // written per event: + start, - stop, . none
    QTest::addColumn<QString>("active"); // after each event
    const auto row = [](const char *name, const char *events, const char *frames,
                        const char *active) {
        QTest::newRow(name) << QString(events) << QString(frames) << QString(active);
    };
    row("the button starts and stops", "bb", "+-", "10");
    row("board start during the user's run keeps it", "bS", "+.", "11");
    row("board stop during the user's run ends it", "bT", "+-", "10");
    row("the user stops the board's run", "Sb", "+-", "10");
    row("board stop after the user stopped starts nothing", "bbT", "+-.", "100");
    row("board stop before any start", "T", ".", "0");
    row("board start twice", "SS", "+.", "11");
    row("a new board's first start after a reopen", "ScS", "+.+", "101");
    row("reopened while stopped", "SbcS", "+-.+", "1001");
    row("the user's run across a reopen", "bcbS", "+.+.", "1011");
    row("board start, user stop, board start", "SbS", "+-+", "101");
}

// The board's start makes sure a run is active and its stop that none is; a closed port ends
// the run without a frame and leaves nothing of the board behind. The texts are as they were.
void PidLinkTest::runControl()
{
    QFETCH(QString, events);
    QString frames, active;
    for (const QChar c : events) {
        const bool was = link->runActive();
        const qint64 before = wire->data().size();
        reports.clear();
        if (c == 'b')
            link->setRunActive(!was);
        else if (c == 'c')
            link->portClosed();
        else
            feed({c == 'S' ? startFrame : stopFrame});
        const QByteArray frame = wire->data().mid(int(before));
        frames += frame.isEmpty()       ? '.'
                  : frame == startFrame ? '+'
                  : frame == stopFrame  ? '-'
                                        : '?';
        const bool now = link->runActive();
        active += now ? '1' : '0';
        QString status = now ? QStringLiteral("开始PID调试") : QStringLiteral("停止PID调试");
        if (c == 'S')
            status = QStringLiteral("成功接收到开始指令，开始运行");
        else if (c == 'T')
            status = QStringLiteral("成功接收到停止指令，停止运行");
        else if (c == 'c' && !was)
            status.clear();
        QStringList expected;
        if (now != was)
            expected << (now ? "run on" : "run off");
        if (!status.isEmpty())
            expected << status;
        QCOMPARE(reports, expected);
    }
    QTEST(frames, "frames");
    QTEST(active, "active");
}

void PidLinkTest::stringMode()
{
    const QByteArray frame = sampleFrame(2, 7.0f, 8.0f);
    feed({frame.left(5)});
    link->setStringMode(true);
    QCOMPARE(feed({"1,2,3,4,5,6,7,8\r\n-1,-2,-3,-4,-5,-6,-7,-8\n1,2", ",3\n"}),
             (QStringList{"samples 0 1 2, 1 3 4, 2 5 6, 3 7 8, 0 -1 -2, 1 -3 -4, 2 -5 -6, 3 -7 -8",
                          "数据格式错误，接收失败"}));
    QCOMPARE(feed({QByteArray(SampleLineSplitter::MaxLineLength + 1, '7')}),
             QStringList{"数据格式错误，接收失败"});
    const auto &h = link->lineHealth();
    QCOMPARE((QVector<quint64>{h.lines, h.malformed}), (QVector<quint64>{2, 1}));
    // The half frame from before the switch is completed after switching back.
    link->setStringMode(false);
    QCOMPARE(feed({frame.mid(5)}), QStringList{"samples 2 7 8"});
}

void PidLinkTest::lineGoneMidFrame_data()
{
    QTest::addColumn<bool>("text");
    QTest::addColumn<QByteArray>("lastWords");
    QTest::addColumn<QByteArray>("firstWords");
    QTest::addColumn<QStringList>("reported");
    QTest::newRow("binary") << false << sampleFrame(0, 1, 2).left(5) << sampleFrame(1, 7, 8)
                            << QStringList{"samples 1 7 8"};
    // Glued together these would make one line of twelve fields.
    QTest::newRow("string") << true << QByteArray("1,2,3,4,") << QByteArray("5,6,7,8,9,10,11,12\n")
                            << QStringList{"samples 0 5 6, 1 7 8, 2 9 10, 3 11 12"};
}

// What the old line left half-sent is not glued to the first bytes of the next one; the run
// stays.
void PidLinkTest::lineGoneMidFrame()
{
    QFETCH(bool, text);
    QFETCH(QByteArray, lastWords);
    QFETCH(QByteArray, firstWords);
    feed({startFrame});
    link->setStringMode(text);
    feed({lastWords});
    link->forgetLine();
    QTEST(feed({firstWords}), "reported");
    QVERIFY(link->runActive());
}

void PidLinkTest::readsItsDevice()
{
    const QByteArray bytes = sampleFrame(3, 1, 2) + sampleFrame(0, 3, 4);
    QBuffer port;
    port.setData(bytes);
    port.open(QIODevice::ReadOnly);
    link->setDevice(&port);
    QSignalSpy read(link.get(), &PidLink::bytesRead);
    link->readAvailable();
    QCOMPARE(reports, QStringList{"samples 3 1 2, 0 3 4"});
    QCOMPARE(read.count(), 1);
    QCOMPARE(read.at(0).at(0).toByteArray(), bytes);
    QVERIFY(port.atEnd());
    // Opened for reading only: nothing can be sent.
    QVERIFY(!link->requestParameter(CmdP, 0));
}

// Scripts of what the user types and presses and what the board sends, against the bytes
// written, the messages and the fields with their marks.
void PidLinkTest::parameterFields_data()
{
    QTest::addColumn<QString>("script");
    QTest::addColumn<QString>("log");
    // Steps: "e P text" the user types into P (I, D, T target, A actual); "w P" its write button;
    // "c n" channel n (0..3); "v" the verify box ticked; "b P ch value" the board's value; "q P ch"
    // the board's read request; "f" the fields, * marking a confirmed and ! an invalid one. Logged:
    // the bytes written (>), the messages.
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
    QTest::newRow("a field edited after the board's value answers with the edit")
        << "b P 0 2.5; e P 3; q P 0"
        << "成功接收P | > 43 01 01 00 00 00 00 40 40 0a | 成功发送P";
    // Shown as it is, never marked, never sent back: refused as a typed one is.
    QTest::newRow("board's values that are no number")
        << "b P 0 nan; b I 0 inf; b D 0 -inf; f; q P 0; q D 0"
        << "成功接收P：不是有效数字 | 成功接收I：不是有效数字 | 成功接收D：不是有效数字 | "
           "P=nan I=inf D=-inf T=0 A=0 | 参数无效，未发送 | 参数无效，未发送";
    QTest::newRow("verify: the board answers no number")
        << "v; e P 2; w P; b P 0 nan; f"
        << "> 43 01 01 00 00 00 00 00 40 0a | 已发送P | > 43 01 00 00 00 00 00 00 00 0a | "
           "校验失败：板子返回 nan | P=nan I=0 D=0 T=0 A=0";
    QTest::newRow("verify: the board keeps another value")
        << "v; e T 5; w T; b T 0 4.5; f"
        << "> 43 04 01 00 00 00 00 a0 40 0a | 已发送目标值 | > 43 04 00 00 00 00 00 00 00 0a | "
           "校验失败：板子返回 4.5 | P=1.0 I=0 D=0 T=4.5* A=0";
}

void PidLinkTest::parameterFields()
{
    QFETCH(QString, script);
    const char letters[] = "PIDTA";
    const quint8 ops[] = {CmdP, CmdI, CmdD, CmdTarget, CmdActual};
    QLineEdit e[5];
    for (int i = 0; i < 5; ++i)
        e[i].setText(i ? QStringLiteral("0") : QStringLiteral("1.0"));
    QCheckBox verify;
    ParameterPanel panel(link.get(), {&e[0], &e[1], &e[2], &e[3], &e[4]}, &verify);
    QStringList log;
    const auto flush = [&] { // what went onto the line since the last look
        if (!wire->data().isEmpty())
            log << QStringLiteral("> ") + QString::fromLatin1(written());
        wire->buffer().clear();
        wire->seek(0);
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
        } else if (what == 'w') {
            panel.write(ops[at]);
        } else if (what == 'c') {
            panel.selectChannel(w.at(1).toInt());
        } else if (what == 'v') {
            verify.setChecked(true);
        } else if (what == 'b' || what == 'q') {
            link->feed(commandFrame(ops[at], what == 'b' ? DirWrite : DirRead, w.at(2).toInt(),
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

QTEST_MAIN(PidLinkTest)
#include "tst_pidlink.moc"
