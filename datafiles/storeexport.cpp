#include "datafiles/storeexport.h"

#include "chart/samplestore.h"

#include <QIODevice>

namespace {

struct Layout
{
    CsvCodec::SeriesLengths lengths{};
    std::array<quint64, CsvCodec::FieldCount> firsts{};
};

Layout layoutOf(const SampleStore &store)
{
    Layout layout;
    for (int s = 0; s < CsvCodec::FieldCount; ++s) {
        const SampleStore::Series series = store.series(s);
        layout.firsts[std::size_t(s)] = series.first();
        // The store keeps at most the chart's longest history, far below 2^32.
        layout.lengths[std::size_t(s)] = quint32(series.size());
    }
    return layout;
}

CsvCodec::SeriesValue valuesOf(const SampleStore &store,
                               const std::array<quint64, CsvCodec::FieldCount> &firsts)
{
    return [&store, &firsts](int s, quint32 i) {
        return double(store.series(s).y(firsts[std::size_t(s)] + i));
    };
}

} // namespace

StoreExport::StoreExport(const SampleStore &store) : samples(store) {}

bool StoreExport::start(const QString &path, QString &error)
{
    const Layout layout = layoutOf(samples);
    const quint64 held = CsvCodec::rowCount(layout.lengths);
    error = CsvCodec::exportRefusal(held);
    if (!error.isNull())
        return false;
    lengths = layout.lengths;
    firsts = layout.firsts;
    for (int s = 0; s < CsvCodec::FieldCount; ++s)
        ends[std::size_t(s)] = firsts[std::size_t(s)] + lengths[std::size_t(s)];
    rows = quint32(held);
    next = 0;
    file = std::make_unique<SafeFile>(path);
    if (file->open(error))
        return true;
    file.reset();
    return false;
}

bool StoreExport::stillHeld() const
{
    for (int s = 0; s < CsvCodec::FieldCount; ++s) {
        const std::size_t i = std::size_t(s);
        if (next >= lengths[i])
            continue;
        const SampleStore::Series series = samples.series(s);
        if (series.first() > firsts[i] + next || series.end() < ends[i])
            return false;
    }
    return true;
}

bool StoreExport::writeSlice(QString &error)
{
    if (!file) {
        error = tr("文件未打开");
        return false;
    }
    if (!stillHeld()) {
        error = tr("导出期间数据已变化");
        cancel();
        return false;
    }
    const quint32 end = rows - next > SliceRows ? next + SliceRows : rows;
    if (!CsvCodec::writeRows(*file->device(), next, end, lengths, valuesOf(samples, firsts))) {
        error = file->device()->errorString();
        cancel();
        return false;
    }
    next = end;
    file->startWriteBack();
    return true;
}

bool StoreExport::commit(QString &error)
{
    if (!file || !atEnd()) {
        error = tr("文件未写完");
        return false;
    }
    const bool done = file->commit(error);
    file.reset();
    return done;
}

bool StoreExport::write(QIODevice &out, const SampleStore &store)
{
    const Layout layout = layoutOf(store);
    return CsvCodec::writeRows(out, 0, CsvCodec::rowCount(layout.lengths), layout.lengths,
                               valuesOf(store, layout.firsts));
}
