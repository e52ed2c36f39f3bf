#pragma once

// Everything that differs between Qt 5 and Qt 6 (CMake's TAVRINO_QT picks one), so the rest
// of the source uses what both share. Safe to include from the QtCore-only codec library: the
// chart part below is there only for targets that link Qt Charts.

#include <QByteArray>
#include <QString>
#include <QStringView>
#include <QtGlobal>

#include <memory>

QT_BEGIN_NAMESPACE
class QTextStream;
QT_END_NAMESPACE

namespace QtCompat {

// UTF-8 arriving in pieces: the start of a character that one piece cut off waits for the
// rest. A byte order mark at the very start of the stream is skipped. Broken bytes come out
// as U+FFFD; how many per broken sequence is each Qt's own rule. (Qt 6.4's stateful decoder
// can swallow the byte after a broken one at a piece boundary, so on Qt 6 this class carries
// the cut-off character itself.)
class Utf8Decoder
{
public:
    Utf8Decoder();
    ~Utf8Decoder();
    Utf8Decoder(const Utf8Decoder &) = delete;
    Utf8Decoder &operator=(const Utf8Decoder &) = delete;

    QString decode(const char *data, int size);
    // Forgets a cut-off character; the next byte starts a new stream.
    void reset();

private:
    struct State;
    std::unique_ptr<State> state;
};

// Length of the front of `bytes` that ends on a character boundary: at most the last three
// bytes, the start of a character still missing its continuation bytes, are left out.
int utf8CompleteLength(const QByteArray &bytes);

// Whole characters to text, a leading byte order mark included (QString::fromUtf8 drops it).
QString decodeUtf8KeepingBom(const char *data, int size);
// True when `data` holds no broken and no cut-off character.
bool isValidUtf8(const char *data, int size);

// QString::toUInt as Qt 5 has it: white space around trimmed (Unicode's, not only ASCII's),
// a NUL refused, and with base 0 C's rule: 0x hexadecimal, 0 octal, else decimal (Qt 6 also
// reads 0b as binary).
uint toUInt(QStringView text, bool *ok, int base);

// Text files are read and written as UTF-8 (Qt 6's default; Qt 5's depends on the locale).
void setUtf8(QTextStream &stream);

// Where Qt's own catalogues are (qtbase_zh_CN.qm and the like).
QString qtTranslationsPath();

// Before the application: scaling by the screen's factor and pixmaps at the device's
// resolution. Qt 6 always does both (the attributes are deprecated there).
void enableHighDpiScaling();

} // namespace QtCompat

#ifdef QT_CHARTS_LIB
#include <QVector>
#include <QtCharts/QXYSeries>
#include <QtCharts/qchartglobal.h>
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
// Qt 6 has the chart classes in Qt's own namespace and no QtCharts:: namespace or its macros:
// the Qt 5 spellings are kept working for the classes the code names.
#define QT_CHARTS_BEGIN_NAMESPACE QT_BEGIN_NAMESPACE
#define QT_CHARTS_END_NAMESPACE QT_END_NAMESPACE
#define QT_CHARTS_USE_NAMESPACE
QT_BEGIN_NAMESPACE
class QAbstractAxis;
class QAbstractSeries;
class QChart;
class QChartView;
class QLegend;
class QLegendMarker;
class QLineSeries;
class QScatterSeries;
class QValueAxis;
class QXYSeries;
QT_END_NAMESPACE
namespace QtCharts {
using QT_PREPEND_NAMESPACE(QAbstractAxis);
using QT_PREPEND_NAMESPACE(QAbstractSeries);
using QT_PREPEND_NAMESPACE(QChart);
using QT_PREPEND_NAMESPACE(QChartView);
using QT_PREPEND_NAMESPACE(QLegend);
using QT_PREPEND_NAMESPACE(QLegendMarker);
using QT_PREPEND_NAMESPACE(QLineSeries);
using QT_PREPEND_NAMESPACE(QScatterSeries);
using QT_PREPEND_NAMESPACE(QValueAxis);
using QT_PREPEND_NAMESPACE(QXYSeries);
} // namespace QtCharts
#endif

namespace QtCompat {
// A series' points in one array, without the conversion to a Qt 5 QList.
inline QVector<QPointF> seriesPoints(const QtCharts::QXYSeries &series)
{
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
    return series.points();
#else
    return series.pointsVector();
#endif
}
} // namespace QtCompat
#endif
