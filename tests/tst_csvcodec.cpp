#include "datafiles/csvcodec.h"

#include <QRandomGenerator>
#include <QtTest>

#include <cmath>
#include <cstring>
#include <limits>

namespace {

using Samples = QVector<QPair<float, float>>; // (actual, target) per sample
using Channels = QVector<Samples>;

struct ChartData
{
    QVector<QVector<QPointF>> points = QVector<QVector<QPointF>>(8);
    QVector<quint32> counts = QVector<quint32>(4, 0);
};

// Lays samples out the way the chart stores them: actual at n, target at n + 1.
ChartData chartOf(const Channels &channels)
{
    ChartData data;
    for (int c = 0; c < channels.size(); ++c) {
        for (const auto &sample : channels[c]) {
            const quint32 n = data.counts[c]++;
            data.points[2 * c].append(QPointF(n, double(sample.first)));
            data.points[2 * c + 1].append(QPointF(n + 1, double(sample.second)));
        }
    }
    return data;
}

// The chart rebuilt from decoded rows, as the import appends them.
ChartData chartOf(const QVector<CsvCodec::Row> &rows)
{
    Channels channels(4);
    for (const CsvCodec::Row &row : rows)
        for (int c = 0; c < 4; ++c)
            channels[c].append({row[size_t(2 * c)], row[size_t(2 * c + 1)]});
    return chartOf(channels);
}

using Rows = QVector<CsvCodec::Row>;

} // namespace

Q_DECLARE_METATYPE(Channels)
Q_DECLARE_METATYPE(Rows)

class CsvCodecTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void encodesRows_data();
    void encodesRows();
    void numberForms_data();
    void numberForms();
    void padsShortSeries();
    void numbersMatchQt_data();
    void numbersMatchQt();
    void decodesLines_data();
    void decodesLines();
    void refusesOversizedInput();
    void roundTripKeepsBytes_data();
    void roundTripKeepsBytes();
};

void CsvCodecTest::encodesRows_data()
{
    QTest::addColumn<Channels>("channels");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("empty chart") << Channels(4) << QByteArray();
    QTest::newRow("one sample on channel 1")
        << Channels{{{3, 4}}, {}, {}, {}} << QByteArray("3,4,0,0,0,0,0,0,\n");
    QTest::newRow("channel 2 longer than channel 1")
        << Channels{{{1, 2}, {3, 4}, {5, 6}},
                    {{7, 8}, {9, 10}, {11, 12}, {13, 14}, {15, 16}},
                    {},
                    {}}
        << QByteArray("1,2,7,8,0,0,0,0,\n"
                      "3,4,9,10,0,0,0,0,\n"
                      "5,6,11,12,0,0,0,0,\n"
                      "0,0,13,14,0,0,0,0,\n"
                      "0,0,15,16,0,0,0,0,\n");
    QTest::newRow("only channel 4") << Channels{{}, {}, {}, {{-1, 1}, {-2, 2}}}
                                    << QByteArray("0,0,0,0,0,0,-1,1,\n0,0,0,0,0,0,-2,2,\n");
    QTest::newRow("all four channels")
        << Channels{{{1, 2}}, {{3, 4}}, {{5, 6}}, {{7, 8}}} << QByteArray("1,2,3,4,5,6,7,8,\n");
}

void CsvCodecTest::encodesRows()
{
    QFETCH(Channels, channels);
    QFETCH(QByteArray, expected);
    const ChartData data = chartOf(channels);
    QCOMPARE(CsvCodec::encode(data.points, data.counts), expected);
}

void CsvCodecTest::numberForms_data()
{
    QTest::addColumn<float>("value");
    QTest::addColumn<QByteArray>("text");

    QTest::newRow("whole") << 3.0f << QByteArray("3");
    QTest::newRow("zero") << 0.0f << QByteArray("0");
    QTest::newRow("negative zero") << -0.0f << QByteArray("0");
    QTest::newRow("negative half") << -12.5f << QByteArray("-12.5");
    QTest::newRow("third") << 1.0f / 3.0f << QByteArray("0.333333");
    QTest::newRow("tenth stored as float") << 0.1f << QByteArray("0.1");
    QTest::newRow("six digits") << 123456.0f << QByteArray("123456");
    QTest::newRow("exponent 5") << 100000.0f << QByteArray("100000");
    QTest::newRow("exponent 6") << 1234567.0f << QByteArray("1.23457e+06");
    QTest::newRow("exponent -4") << 0.0001f << QByteArray("0.0001");
    QTest::newRow("exponent -5") << 0.00001f << QByteArray("1e-05");
    QTest::newRow("negative exponent -5") << -0.00001f << QByteArray("-1e-05");
    QTest::newRow("rounded up") << 2.9999999f << QByteArray("3");
    QTest::newRow("largest float")
        << std::numeric_limits<float>::max() << QByteArray("3.40282e+38");
    QTest::newRow("infinity") << std::numeric_limits<float>::infinity() << QByteArray("inf");
    QTest::newRow("negative infinity")
        << -std::numeric_limits<float>::infinity() << QByteArray("-inf");
    QTest::newRow("tie rounds away from zero") << 1234565.0f << QByteArray("1.23457e+06");
    QTest::newRow("fraction tie") << 12345.25f << QByteArray("12345.3");
    QTest::newRow("rounds up to a new power") << 999999.7f << QByteArray("1e+06");
    QTest::newRow("smallest float")
        << std::numeric_limits<float>::denorm_min() << QByteArray("1.4013e-45");
    QTest::newRow("not a number") << std::numeric_limits<float>::quiet_NaN() << QByteArray("nan");
}

void CsvCodecTest::numberForms()
{
    QFETCH(float, value);
    QFETCH(QByteArray, text);
    const ChartData data = chartOf(Channels{{{value, value}}, {}, {}, {}});
    QCOMPARE(CsvCodec::encode(data.points, data.counts), text + ',' + text + ",0,0,0,0,0,0,\n");
}

void CsvCodecTest::padsShortSeries()
{
    // A target that never came, and counts that run ahead of the stored points.
    QVector<QVector<QPointF>> points(8);
    points[0] = {{0, 1.5}, {1, 2.5}};
    points[1] = {{1, 9}};
    const QVector<quint32> counts{2, 3, 0, 0};
    QCOMPARE(CsvCodec::encode(points, counts),
             QByteArray("1.5,9,0,0,0,0,0,0,\n2.5,0,0,0,0,0,0,0,\n0,0,0,0,0,0,0,0,\n"));
}

void CsvCodecTest::numbersMatchQt_data()
{
    QTest::addColumn<int>("kind");
    QTest::newRow("any float bit pattern") << 0;
    QTest::newRow("sensor-like floats") << 1;
    QTest::newRow("any double bit pattern") << 2;
    QTest::newRow("seven-digit ties and neighbours") << 3;
    QTest::newRow("next to powers of ten") << 4;
}

// The fast formatter must write every value exactly as QString::number(y, 'g', 6) does.
void CsvCodecTest::numbersMatchQt()
{
    QFETCH(int, kind);
    QRandomGenerator random(quint32(100 + kind));
    const auto next = [&]() -> double {
        switch (kind) {
        case 0: {
            const quint32 bits = random.generate();
            float f;
            std::memcpy(&f, &bits, sizeof f);
            return double(f);
        }
        case 1:
            return double(
                float((random.generateDouble() * 2 - 1) * std::pow(10.0, random.bounded(-6, 8))));
        case 2: {
            const quint64 bits = random.generate64();
            double d;
            std::memcpy(&d, &bits, sizeof d);
            return d;
        }
        case 3: {
            // n.nnnnn5 × 10^k and the floats around it.
            const double tie =
                (random.bounded(100000, 1000000) * 10 + 5) * std::pow(10.0, random.bounded(-12, 6));
            float f = float(tie);
            const int steps = random.bounded(-2, 3);
            for (int i = 0; i < std::abs(steps); ++i)
                f = std::nextafter(f, steps < 0 ? 0.0f : std::numeric_limits<float>::max());
            return random.bounded(2) ? double(f) : tie;
        }
        default: {
            const double power = std::pow(10.0, random.bounded(-20, 20));
            return power * (1.0 + (random.generateDouble() - 0.5) * 2e-6);
        }
        }
    };
    for (int i = 0; i < 200000; ++i) {
        const double y = next();
        QByteArray fast;
        CsvCodec::appendNumber(fast, y);
        const QByteArray qt = QString::number(y, 'g', 6).toLatin1();
        if (fast != qt)
            QFAIL(qPrintable(QStringLiteral("%1: wrote %2, Qt writes %3")
                                 .arg(y, 0, 'g', 17)
                                 .arg(QString::fromLatin1(fast), QString::fromLatin1(qt))));
    }
}

void CsvCodecTest::decodesLines_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("lineCount");
    QTest::addColumn<Rows>("rows");

    const CsvCodec::Row oneSample{3, 4, 0, 0, 0, 0, 0, 0};
    const CsvCodec::Row counting{1, 2, 3, 4, 5, 6, 7, 8};

    QTest::newRow("empty file") << QByteArray() << 0 << Rows{};
    QTest::newRow("exported row") << QByteArray("3,4,0,0,0,0,0,0,\n") << 1 << Rows{oneSample};
    QTest::newRow("CR LF") << QByteArray("3,4,0,0,0,0,0,0,\r\n1,2,3,4,5,6,7,8\r\n") << 2
                           << Rows{oneSample, counting};
    QTest::newRow("no line end at the end")
        << QByteArray("3,4,0,0,0,0,0,0,\n1,2,3,4,5,6,7,8") << 2 << Rows{oneSample, counting};
    QTest::newRow("CR at the very end") << QByteArray("1,2,3,4,5,6,7,8\r") << 1 << Rows{counting};
    QTest::newRow("seven fields skipped, still counted")
        << QByteArray("1,2,3,4,5,6,7\n1,2,3,4,5,6,7,8\n") << 2 << Rows{counting};
    QTest::newRow("long line, extra fields ignored")
        << QByteArray("1,2,3,4,5,6,7,8,9,10,abc,,\n") << 1 << Rows{counting};
    QTest::newRow("empty lines counted")
        << QByteArray("\n\n1,2,3,4,5,6,7,8\n\n") << 4 << Rows{counting};
    QTest::newRow("empty fields read 0")
        << QByteArray(",,,,,,,\n") << 1 << Rows{CsvCodec::Row{0, 0, 0, 0, 0, 0, 0, 0}};
    QTest::newRow("text reads 0") << QByteArray("x,2,1.5.5,4,--5,6,7,8y\n") << 1
                                  << Rows{CsvCodec::Row{0, 2, 0, 4, 0, 6, 7, 0}};
    QTest::newRow("white space around numbers")
        << QByteArray(" 1,\t2 ,3,4,5,6,7, 8 \n") << 1 << Rows{counting};
    QTest::newRow("exponents and signs")
        << QByteArray("1e-05,-1.23457e+06,+2,.5,-0,1E3,0x10,3\n") << 1
        << Rows{CsvCodec::Row{1e-05f, -1.23457e+06f, 2, 0.5f, -0.0f, 1000, 0, 3}};
    QTest::newRow("beyond float range is infinite")
        << QByteArray("1e40,-1e40,1,1,1,1,1,1\n") << 1
        << Rows{CsvCodec::Row{std::numeric_limits<float>::infinity(),
                              -std::numeric_limits<float>::infinity(), 1, 1, 1, 1, 1, 1}};
    QTest::newRow("byte order mark") << QByteArray("\xEF\xBB\xBF"
                                                   "1,2,3,4,5,6,7,8\n")
                                     << 1 << Rows{counting};
    QTest::newRow("lone CR inside a line")
        << QByteArray("1,2\r3,4,5,6,7,8,9\n") << 1 << Rows{CsvCodec::Row{1, 0, 4, 5, 6, 7, 8, 9}};
    QTest::newRow("invalid UTF-8 reads 0") << QByteArray("\xff\xfe,2,3,4,5,6,7,8\n") << 1
                                           << Rows{CsvCodec::Row{0, 2, 3, 4, 5, 6, 7, 8}};
}

void CsvCodecTest::decodesLines()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, lineCount);
    QFETCH(Rows, rows);

    const CsvCodec::Decoded decoded = CsvCodec::decode(bytes);
    QCOMPARE(int(decoded.status), int(CsvCodec::Status::Ok));
    QCOMPARE(decoded.lineCount, lineCount);
    QCOMPARE(decoded.rows.size(), rows.size());
    for (int r = 0; r < rows.size(); ++r) {
        for (size_t f = 0; f < size_t(CsvCodec::FieldCount); ++f) {
            const float got = decoded.rows[r][f];
            const float want = rows[r][f];
            if (got != want || std::signbit(got) != std::signbit(want))
                QFAIL(qPrintable(QStringLiteral("row %1 field %2: got %3, want %4")
                                     .arg(r)
                                     .arg(f)
                                     .arg(double(got))
                                     .arg(double(want))));
        }
    }
}

void CsvCodecTest::refusesOversizedInput()
{
    QByteArray huge(int(CsvCodec::MaxImportBytes) + 1, '\n');
    QCOMPARE(int(CsvCodec::decode(huge).status), int(CsvCodec::Status::TooLarge));
    huge.clear();

    const QByteArray manyLines(CsvCodec::MaxImportLines + 1, '\n');
    const CsvCodec::Decoded tooMany = CsvCodec::decode(manyLines);
    QCOMPARE(int(tooMany.status), int(CsvCodec::Status::TooManyLines));
    QVERIFY(tooMany.rows.isEmpty());

    const CsvCodec::Decoded atLimit = CsvCodec::decode(manyLines.left(CsvCodec::MaxImportLines));
    QCOMPARE(int(atLimit.status), int(CsvCodec::Status::Ok));
    QCOMPARE(atLimit.lineCount, CsvCodec::MaxImportLines);
}

void CsvCodecTest::roundTripKeepsBytes_data()
{
    QTest::addColumn<quint32>("seed");
    QTest::addColumn<QVector<int>>("lengths");

    QTest::newRow("equal channels") << 1u << QVector<int>{200, 200, 200, 200};
    QTest::newRow("ragged channels") << 2u << QVector<int>{3, 500, 0, 17};
    QTest::newRow("one long channel") << 3u << QVector<int>{0, 0, 0, 2000};
}

void CsvCodecTest::roundTripKeepsBytes()
{
    QFETCH(quint32, seed);
    QFETCH(QVector<int>, lengths);

    QRandomGenerator random(seed);
    Channels channels(4);
    for (int c = 0; c < 4; ++c) {
        for (int i = 0; i < lengths[c]; ++i) {
            // Spread over many magnitudes so both number forms occur.
            const auto value = [&random] {
                const double mantissa = random.generateDouble() * 2.0 - 1.0;
                return float(mantissa * std::pow(10.0, random.bounded(-8, 9)));
            };
            channels[c].append({value(), value()});
        }
    }
    const ChartData first = chartOf(channels);
    const QByteArray bytes = CsvCodec::encode(first.points, first.counts);

    const CsvCodec::Decoded decoded = CsvCodec::decode(bytes);
    QCOMPARE(decoded.lineCount, *std::max_element(lengths.cbegin(), lengths.cend()));
    QCOMPARE(decoded.rows.size(), decoded.lineCount);
    const ChartData second = chartOf(decoded.rows);
    QCOMPARE(CsvCodec::encode(second.points, second.counts), bytes);
}

QTEST_GUILESS_MAIN(CsvCodecTest)
#include "tst_csvcodec.moc"
