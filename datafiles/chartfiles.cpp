#include "datafiles/chartfiles.h"

#include "base/logging.h"
#include "chart/pid_diagram.h"
#include "chart/responseanalysis.h"
#include "datafiles/recentfolders.h"
#include "datafiles/samplefilereader.h"
#include "datafiles/storeexport.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QProgressDialog>

#include <algorithm>
#include <array>
#include <memory>

namespace {

// Shown once a transfer takes longer than this; before, the window ignores the user's input.
constexpr int ProgressDelayMs = 300;

std::unique_ptr<QProgressDialog> progressDialog(QWidget *window, const QString &title,
                                                const QString &label)
{
    auto dialog = std::make_unique<QProgressDialog>(label, ChartFiles::tr("取消"), 0, 1000, window);
    dialog->setWindowTitle(title);
    dialog->setWindowModality(Qt::WindowModal);
    dialog->setMinimumDuration(ProgressDelayMs);
    dialog->setAutoClose(false);
    dialog->setAutoReset(false);
    return dialog;
}

// One step of a transfer: the dialog shows `done` of `total`, and the event loop runs so the
// port is read and the chart redrawn. The user's input reaches only the dialog: until it shows
// none is taken, then the window-modal dialog keeps it from the window. True when cancelled.
bool stepProgress(QProgressDialog &dialog, qint64 done, qint64 total)
{
    dialog.setValue(total > 0 ? int(done * 1000 / total) : 0);
    QCoreApplication::processEvents(dialog.isVisible() ? QEventLoop::AllEvents
                                                       : QEventLoop::ExcludeUserInputEvents);
    return dialog.wasCanceled();
}

} // namespace

ChartFiles::ChartFiles(PID_Diagram *chart, ResponseAnalysis *responseAnalysis,
                       RecentFolders *recentFolders, QAbstractButton *exportButton,
                       QAbstractButton *importButton, QWidget *parent)
    : QObject(parent), diagram(chart), analysis(responseAnalysis), folders(recentFolders),
      window(parent)
{
    connect(exportButton, &QAbstractButton::clicked, this, &ChartFiles::on_buttonExport_clicked);
    connect(importButton, &QAbstractButton::clicked, this, &ChartFiles::on_buttonInport_clicked);
}

void ChartFiles::warnInvalidPath()
{
    QMessageBox::critical(window, tr("警告"), tr("非法路径， 请选择合法路径！"),
                          QMessageBox::Cancel, QMessageBox::Cancel);
}

void ChartFiles::on_buttonExport_clicked()
{
    const QString folder = QFileDialog::getExistingDirectory(window, tr("选择一个文件夹"),
                                                             folders->folder(RecentFolders::Export),
                                                             QFileDialog::ShowDirsOnly);
    if (folder.isEmpty()) {
        warnInvalidPath();
        emit message(tr("导出失败！"));
        return;
    }
    folders->setFolder(RecentFolders::Export, folder);
    qCDebug(lcDataFiles) << "export" << diagram->sampleCounts() << "into" << folder;
    StoreExport file(diagram->samples());
    QString error;
    bool written = file.start(folder + QStringLiteral("/Export.csv"), error);
    const auto progress = progressDialog(window, tr("导出数据"), tr("正在导出数据…"));
    while (written && !file.atEnd()) {
        written = file.writeSlice(error);
        if (written && !file.atEnd() &&
            stepProgress(*progress, file.rowsWritten(), file.rowCount())) {
            file.cancel();
            emit message(tr("导出已取消"));
            return;
        }
    }
    written = written && file.commit(error);
    if (!written)
        qCDebug(lcDataFiles) << "export failed:" << folder << error;
    emit message(written ? tr("导出成功！") : tr("导出失败！%1").arg(error));
}

void ChartFiles::on_buttonInport_clicked()
{
    const QString path = QFileDialog::getOpenFileName(
        window, tr("选择一个文件"), folders->folder(RecentFolders::Import), tr("文件(*.csv)"));
    if (path.isEmpty()) {
        warnInvalidPath();
        emit message(tr("导入失败！"));
        return;
    }
    folders->rememberFile(RecentFolders::Import, path);
    SampleFileReader file;
    QString error;
    if (!file.open(path, error)) {
        qCDebug(lcDataFiles) << "import failed:" << path << error;
        emit message(tr("导入失败！%1").arg(error));
        return;
    }
    const auto progress = progressDialog(window, tr("导入数据"), tr("正在导入数据…"));
    QVector<SampleFileReader::Sample> samples;
    bool read = true;
    bool cancelled = false;
    analysis->importStarting();
    while (read && !file.atEnd() && !cancelled) {
        samples.resize(0);
        read = file.readSlice(samples, error);
        plotImported(samples);
        cancelled = !file.atEnd() && stepProgress(*progress, file.bytesRead(), file.fileSize());
    }
    analysis->importFinished();
    const QString counts = tr("%1个点，跳过%2行").arg(file.pointCount()).arg(file.skippedLines());
    if (!read)
        emit message(tr("导入失败！%1，已导入%2").arg(error, counts));
    else if (cancelled)
        emit message(tr("导入已取消，已导入%1").arg(counts));
    else
        emit message(tr("成功导入%1").arg(counts));
}

// In file order; the history grows first to hold them where the default length would empty
// the chart at every 10,000 samples.
void ChartFiles::plotImported(const QVector<SampleFileReader::Sample> &samples)
{
    std::array<quint64, ChannelCount> held{};
    for (int ch = 0; ch < ChannelCount; ++ch)
        held[std::size_t(ch)] = diagram->samples().held(ch);
    for (const SampleFileReader::Sample &sample : samples)
        ++held[std::size_t(sample.channel)];
    diagram->makeRoomFor(*std::max_element(held.begin(), held.end()));
    for (const SampleFileReader::Sample &sample : samples) {
        diagram->append(sample.channel, sample.actual, sample.target);
    }
}
