#include "base/qtcompat.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTextStream>

#include <algorithm>

#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
#include <QStringDecoder>
#else
#include <QTextCodec>
#endif

namespace {
bool isContinuation(uchar byte)
{
    return (byte & 0xC0) == 0x80;
}

// Bytes a character starting with `lead` takes; 1 for bytes that cannot start one.
int sequenceLength(uchar lead)
{
    if (lead >= 0xC2 && lead <= 0xDF)
        return 2;
    if (lead >= 0xE0 && lead <= 0xEF)
        return 3;
    if (lead >= 0xF0 && lead <= 0xF4)
        return 4;
    return 1;
}

} // namespace

namespace QtCompat {

int utf8CompleteLength(const QByteArray &bytes)
{
    const int size = bytes.size();
    for (int back = 1; back <= 3 && back <= size; ++back) {
        const auto byte = static_cast<uchar>(bytes.at(size - back));
        if (isContinuation(byte))
            continue;
        return sequenceLength(byte) > back ? size - back : size;
    }
    return size;
}

#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)

struct Utf8Decoder::State
{
    QByteArray pending; // the start of a character cut off by the last piece
    bool started = false;
};

Utf8Decoder::Utf8Decoder() : state(std::make_unique<State>()) {}

QString Utf8Decoder::decode(const char *data, int size)
{
    const QByteArray piece = QByteArray::fromRawData(data, std::max(size, 0));
    const QByteArray bytes = state->pending.isEmpty() ? piece : state->pending + piece;
    const int complete = utf8CompleteLength(bytes);
    // A deep copy: `piece` does not own its bytes.
    state->pending = QByteArray(bytes.constData() + complete, bytes.size() - complete);
    if (complete == 0)
        return QString();
    QString text = decodeUtf8KeepingBom(bytes.constData(), complete);
    if (!state->started && text.startsWith(QChar(QChar::ByteOrderMark)))
        text.remove(0, 1);
    state->started = true;
    return text;
}

void Utf8Decoder::reset()
{
    *state = State();
}

QString decodeUtf8KeepingBom(const char *data, int size)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless |
                                                     QStringDecoder::Flag::ConvertInitialBom);
    return decoder(QByteArrayView(data, size));
}

bool isValidUtf8(const char *data, int size)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    static_cast<void>(decoder.decode(QByteArrayView(data, size)));
    return !decoder.hasError();
}

uint toUInt(QStringView text, bool *ok, int base)
{
    // Qt 6 trims only ASCII white space, reads up to a NUL and, with base 0, takes 0b for
    // binary; Qt 5 trims any white space and refuses the other two.
    const QStringView trimmed = text.trimmed();
    QStringView digits = trimmed;
    if (digits.startsWith(QLatin1Char('+')) || digits.startsWith(QLatin1Char('-')))
        digits = digits.mid(1);
    if (trimmed.contains(QChar(0)) ||
        (base == 0 && digits.startsWith(QLatin1String("0b"), Qt::CaseInsensitive))) {
        if (ok)
            *ok = false;
        return 0;
    }
    return trimmed.toUInt(ok, base);
}

void setUtf8(QTextStream &stream)
{
    stream.setEncoding(QStringConverter::Utf8);
}

void enableHighDpiScaling() {}

QString qtTranslationsPath()
{
    return QLibraryInfo::path(QLibraryInfo::TranslationsPath);
}

#else

struct Utf8Decoder::State
{
    std::unique_ptr<QTextDecoder> decoder{QTextCodec::codecForMib(106)->makeDecoder()};
};

Utf8Decoder::Utf8Decoder() : state(std::make_unique<State>()) {}

QString Utf8Decoder::decode(const char *data, int size)
{
    return state->decoder->toUnicode(data, size);
}

void Utf8Decoder::reset()
{
    *state = State();
}

QString decodeUtf8KeepingBom(const char *data, int size)
{
    QTextCodec::ConverterState converter(QTextCodec::IgnoreHeader);
    return QTextCodec::codecForMib(106)->toUnicode(data, size, &converter);
}

bool isValidUtf8(const char *data, int size)
{
    QTextCodec::ConverterState converter;
    QTextCodec::codecForMib(106)->toUnicode(data, size, &converter);
    return converter.invalidChars == 0 && converter.remainingChars == 0;
}

uint toUInt(QStringView text, bool *ok, int base)
{
    return text.toUInt(ok, base);
}

void setUtf8(QTextStream &stream)
{
    stream.setCodec("UTF-8");
}

void enableHighDpiScaling()
{
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    QCoreApplication::setAttribute(Qt::AA_UseHighDpiPixmaps);
}

QString qtTranslationsPath()
{
    return QLibraryInfo::location(QLibraryInfo::TranslationsPath);
}

#endif

Utf8Decoder::~Utf8Decoder() = default;

} // namespace QtCompat
