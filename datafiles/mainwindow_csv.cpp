// PID tab: CSV export and import of the chart's samples.
#include "app/logging.h"
#include "app/mainwindow.h"
#include "chart/pid_diagram.h"
#include "chart/responseanalysis.h"
#include "datafiles/csvfile.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QStatusBar>

#include <algorithm>

namespace {
void logRows(const QByteArray &bytes)
{
    if (!lcDataFiles().isDebugEnabled())
        return;
    const QList<QByteArray> rows = bytes.split('\n');
    for (const QByteArray &row : rows)
        qCDebug(lcDataFiles).noquote() << QString::fromUtf8(row);
}
} // namespace

void MainWindow::warnInvalidPath()
{
    QMessageBox::critical(this, tr("警告"), tr("非法路径， 请选择合法路径！"), QMessageBox::Cancel,
                          QMessageBox::Cancel);
}

void MainWindow::on_buttonExport_clicked()
{
    const QString folder = QFileDialog::getExistingDirectory(this, tr("选择一个文件夹"), QString(),
                                                             QFileDialog::ShowDirsOnly);
    if (folder.isEmpty()) {
        warnInvalidPath();
        statusBar()->showMessage(tr("导出失败！"), 0);
        return;
    }
    const QVector<quint32> counts = diagram->sampleCounts();
    const quint32 most = counts.isEmpty() ? 0u : *std::max_element(counts.cbegin(), counts.cend());
    qCDebug(lcDataFiles) << counts << "MAX:" << most;
    const QByteArray bytes = CsvCodec::encode(diagram->allPoints(), counts);
    logRows(bytes);

    QString error;
    const bool written = CsvFile::write(folder + QStringLiteral("/Export.csv"), bytes, error);
    if (!written)
        qCDebug(lcDataFiles) << "export failed:" << folder << error;
    statusBar()->showMessage(written ? tr("导出成功！") : tr("导出失败！"), 0);
}

void MainWindow::on_buttonInport_clicked()
{
    const QString path =
        QFileDialog::getOpenFileName(this, tr("选择一个文件"), QString(), tr("文件(*.csv)"));
    if (path.isEmpty()) {
        warnInvalidPath();
        statusBar()->showMessage(tr("导入失败！"), 0);
        return;
    }
    const CsvFile::Imported imported = CsvFile::read(path);
    switch (imported.status) {
    case CsvFile::Status::Unreadable:
        qCDebug(lcDataFiles) << "import failed:" << path << imported.error;
        statusBar()->showMessage(tr("导入失败！"), 0);
        return;
    case CsvFile::Status::TooLarge:
        statusBar()->showMessage(
            tr("导入失败！文件过大（超过%1 MB）").arg(CsvCodec::MaxImportBytes / (1024 * 1024)), 0);
        return;
    case CsvFile::Status::TooManyLines:
        statusBar()->showMessage(
            tr("导入失败！文件行数过多（超过%1行）").arg(CsvCodec::MaxImportLines), 0);
        return;
    case CsvFile::Status::Ok:
        break;
    }
    analysis->importStarting();
    for (const CsvCodec::Row &row : imported.decoded.rows) {
        for (int ch = 0; ch < PID_Diagram::ChannelCount; ++ch) {
            diagram->appendActual(ch, row[std::size_t(2 * ch)]);
            diagram->appendTarget(ch, row[std::size_t(2 * ch + 1)]);
        }
    }
    analysis->importFinished();
    statusBar()->showMessage(tr("成功导入%1个点").arg(imported.decoded.lineCount), 0);
}
