// Per-channel parameter values, read time-outs and checking a write by reading it back, driven
// by scripts of what the user and the board do, on a clock the test sets.
#include "pidlink/channelparameters.h"
#include "pidlink/pidframe.h"

#include <QtTest>

#include <cstring>

namespace {
const char opLetters[] = "PIDTA";
const unsigned char opCodes[] = {CmdP, CmdI, CmdD, CmdTarget, CmdActual};

unsigned char opOf(const QString &letter)
{
    return opCodes[std::strchr(opLetters, letter.at(0).toLatin1()) - opLetters];
}

QChar letterOf(unsigned char op)
{
    for (int i = 0; i < 5; ++i) {
        if (opCodes[i] == op)
            return QLatin1Char(opLetters[i]);
    }
    return QLatin1Char('?');
}

// Steps: "w ch op text" the user writes; "r ch op t" a read goes out at t ms; "v ch op value t"
// the read that checks a write of value; "b ch op value" the board sends a value; "t t" the
// clock reads t; "n" the next deadline; "f ch" the channel's fields; "x" the port closes.
// op is one of P I D T (target) A (actual). A field shows as P=text, with * when confirmed.
QStringList run(const QStringList &script)
{
    ChannelParameters params;
    QStringList log;
    for (const QString &step : script) {
        const QStringList w = step.split(QLatin1Char(' '));
        const QChar what = w.at(0).at(0);
        const int channel = w.size() > 1 ? w.at(1).toInt() : 0;
        if (what == QLatin1Char('w')) {
            params.written(channel, opOf(w.at(2)), w.at(3), w.at(3).toFloat());
        } else if (what == QLatin1Char('r')) {
            params.readSent(channel, opOf(w.at(2)), w.at(3).toLongLong());
        } else if (what == QLatin1Char('v')) {
            params.readSent(channel, opOf(w.at(2)), w.at(4).toLongLong(), w.at(3).toFloat());
        } else if (what == QLatin1Char('b')) {
            const float value = w.at(3).toFloat();
            const ChannelParameters::Outcome o = params.boardValue(channel, opOf(w.at(2)), value);
            const char *kinds[] = {"report", "answer", "verified", "failed"};
            log << QLatin1String(kinds[o.kind]) +
                       (o.kind == o.VerifyFailed
                            ? QLatin1Char(' ') + ChannelParameters::verifyFailedMessage(value)
                            : QString());
        } else if (what == QLatin1Char('t')) {
            for (const PendingReads::Request &r : params.takeExpired(w.at(1).toLongLong()))
                log << QStringLiteral("timeout %1 %2").arg(r.channel).arg(letterOf(r.op));
        } else if (what == QLatin1Char('n')) {
            const std::optional<qint64> next = params.nextDeadline();
            log << (next ? QStringLiteral("next %1").arg(*next) : QStringLiteral("next none"));
        } else if (what == QLatin1Char('f')) {
            QStringList shown;
            for (int i = 0; i < 4; ++i) {
                const ChannelParameters::Field f = params.field(channel, opCodes[i]);
                shown << QString(QLatin1Char(opLetters[i])) + QLatin1Char('=') + f.text +
                             (f.confirmed ? QStringLiteral("*") : QString());
            }
            log << shown.join(QLatin1Char(' '));
        } else if (what == QLatin1Char('x')) {
            params.lineClosed();
        }
    }
    return log;
}
} // namespace

class ChannelParametersTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void scripts_data();
    void scripts();
};

void ChannelParametersTest::scripts_data()
{
    QTest::addColumn<QStringList>("script");
    QTest::addColumn<QStringList>("log");
    const QString none = QStringLiteral("P= I= D= T=");

    QTest::newRow("board reports confirm, for their channel only")
        << QStringList{"b 1 T 3.25", "b 3 I 0.1", "f 0", "f 1", "f 3", "b 7 P 1", "f 0"}
        << QStringList{"report",          "report", none, "P= I= D= T=3.25*",
                       "P= I=0.1* D= T=", "report", none};
    QTest::newRow("a write takes the mark away")
        << QStringList{"b 0 D 1", "w 0 D 1", "f 0"} << QStringList{"report", "P= I= D=1 T="};
    QTest::newRow("reported values shown to six digits")
        << QStringList{"b 2 P 0.123456789", "f 2"} << QStringList{"report", "P=0.123457* I= D= T="};
    QTest::newRow("read answered in time")
        << QStringList{"r 0 I 0", "n", "b 0 I 0.5", "n", "t 5000", "f 0"}
        << QStringList{"next 1000", "answer", "next none", "P= I=0.5* D= T="};
    QTest::newRow("silent board: one time-out, a late answer still fills the field")
        << QStringList{"r 2 D 100", "t 1099", "t 1100", "t 9000", "b 2 D 4", "f 2"}
        << QStringList{"timeout 2 D", "report", "P= I= D=4* T="};
    QTest::newRow("an answer for another channel or operation answers nothing")
        << QStringList{"r 0 P 0", "b 1 P 7", "b 0 I 7", "t 1000"}
        << QStringList{"report", "report", "timeout 0 P"};
    QTest::newRow("reads time out in the order sent")
        << QStringList{"r 0 P 0", "r 1 A 300", "r 0 P 600", "t 1400", "n", "b 0 P 1", "n", "t 1600"}
        << QStringList{"timeout 0 P", "timeout 1 A", "next 1600", "answer", "next none"};
    QTest::newRow("actual value read but not kept")
        << QStringList{"r 1 A 0", "b 1 A 5", "f 1"} << QStringList{"answer", none};
    QTest::newRow("closing the port forgets the reads")
        << QStringList{"r 0 P 0", "x", "n", "t 5000", "b 0 P 1"}
        << QStringList{"next none", "report"};

    QTest::newRow("verify: the board echoes")
        << QStringList{"w 0 T 1.1", "v 0 T 1.1 0", "f 0", "b 0 T 1.1", "f 0"}
        << QStringList{"P= I= D= T=1.1", "verified", "P= I= D= T=1.1*"};
    QTest::newRow("verify: a difference beyond six digits is named")
        << QStringList{"w 0 T 1.1", "v 0 T 1.1 0", "b 0 T 1.1000001"}
        << QStringList{QStringLiteral("failed 校验失败：板子返回 1.1000001")};
    QTest::newRow("verify after a read: answers taken in order")
        << QStringList{"r 0 P 0", "w 0 P 2", "v 0 P 2 10", "b 0 P 1", "b 0 P 2"}
        << QStringList{"answer", "verified"};
    QTest::newRow("values that are no number: shown, never confirmed, never an answer")
        << QStringList{"b 0 P nan", "b 0 I inf", "r 1 D 0", "b 1 D -inf", "f 0", "f 1"}
        << QStringList{"report", "report", "answer", "P=nan I=inf D= T=", "P= I= D=-inf T="};
    QTest::newRow("verify: an answer that is no number fails")
        << QStringList{"w 0 P 2", "v 0 P 2 0", "b 0 P nan", "f 0"}
        << QStringList{QStringLiteral("failed 校验失败：板子返回 nan"), "P=nan I= D= T="};
    QTest::newRow("verify: no answer") << QStringList{"w 1 I 3", "v 1 I 3 0", "t 1000", "f 1"}
                                       << QStringList{"timeout 1 I", "P= I=3 D= T="};
}

void ChannelParametersTest::scripts()
{
    QFETCH(QStringList, script);
    QTEST(run(script), "log");
}

QTEST_GUILESS_MAIN(ChannelParametersTest)
#include "tst_channelparameters.moc"
