// PID tab: CSV export and import of the chart's samples.
#include "app/logging.h"
#include "app/mainwindow.h"
#include "chart/pid_diagram.h"
#include "datafiles/csvcodec.h"
#include "forms/mainwindow_ui.h"

#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QSaveFile>
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

// Writes beside the old file and puts the new one in its place only once all of it is on
// disk, so a full disk never costs the earlier export. A device, or a link to one, is written
// directly: there is no old file to keep and no folder to write beside it.
bool writeWholeFile(const QString &path, const QByteArray &bytes, QString &error)
{
    const QFileInfo info(path);
    if (info.exists() && !info.isFile() && !info.isDir()) {
        QFile file(path);
        // A full disk shows up only when the buffered bytes are flushed.
        const bool written =
            file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.flush();
        error = file.errorString();
        return written;
    }
    QSaveFile file(path);
    // A folder that takes no new file but holds a writable Export.csv is written in place.
    file.setDirectWriteFallback(true);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
        error = file.errorString();
        file.cancelWriting();
        return false;
    }
    const bool written = file.commit();
    error = file.errorString();
    return written;
}

} // namespace

void MainWindow::warnInvalidPath()
{
    QMessageBox::critical(this, tr("警告"), tr("非法路径， 请选择合法路径！"), QMessageBox::Cancel,
                          QMessageBox::Cancel);
}

void MainWindow::on_buttonExport_clicked()
{
    const QString folder = QFileDialog::getExistingDirectory(this, QStringLiteral("选择一个文件夹"),
                                                             QString(), QFileDialog::ShowDirsOnly);
    if (folder.isEmpty()) {
        warnInvalidPath();
        statusBar()->showMessage(QStringLiteral("导出失败！"), 0);
        return;
    }

    const QString path = folder + QStringLiteral("/Export.csv");
    const QVector<quint32> counts = diagram->sampleCounts();
    const QVector<QVector<QPointF>> points = diagram->allPoints();

    QVector<quint32> sorted = counts;
    std::sort(sorted.begin(), sorted.end());
    qCDebug(lcDataFiles) << sorted << "MAX:" << (sorted.isEmpty() ? 0u : sorted.last());

    const QByteArray bytes = CsvCodec::encode(points, counts);
    logRows(bytes);

    QString error;
    const bool written = writeWholeFile(path, bytes, error);
    if (!written)
        qCDebug(lcDataFiles) << "export failed:" << path << error;
    statusBar()->showMessage(written ? QStringLiteral("导出成功！") : QStringLiteral("导出失败！"),
                             0);
}

void MainWindow::on_buttonInport_clicked()
{
    const QString path = QFileDialog::getOpenFileName(this, QStringLiteral("选择一个文件"),
                                                      QString(), QStringLiteral("文件(*.csv)"));
    if (path.isEmpty()) {
        warnInvalidPath();
        statusBar()->showMessage(QStringLiteral("导入失败！"), 0);
        return;
    }

    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        qCDebug(lcDataFiles) << "import failed:" << path << file.errorString();
        statusBar()->showMessage(QStringLiteral("导入失败！"), 0);
        return;
    }
    const QString tooLarge = QStringLiteral("导入失败！文件过大（超过%1 MB）")
                                 .arg(CsvCodec::MaxImportBytes / (1024 * 1024));
    if (file.size() > CsvCodec::MaxImportBytes) {
        statusBar()->showMessage(tooLarge, 0);
        return;
    }
    // Read one byte past the limit so that a file growing meanwhile, or a device without a
    // size, is caught as well.
    const QByteArray bytes = file.read(CsvCodec::MaxImportBytes + 1);
    const bool readFailed = file.error() != QFileDevice::NoError;
    file.close();
    if (readFailed) {
        statusBar()->showMessage(QStringLiteral("导入失败！"), 0);
        return;
    }

    const CsvCodec::Decoded decoded = CsvCodec::decode(bytes);
    switch (decoded.status) {
    case CsvCodec::Status::TooLarge:
        statusBar()->showMessage(tooLarge, 0);
        return;
    case CsvCodec::Status::TooManyLines:
        statusBar()->showMessage(
            QStringLiteral("导入失败！文件行数过多（超过%1行）").arg(CsvCodec::MaxImportLines), 0);
        return;
    case CsvCodec::Status::Ok:
        break;
    }

    for (const CsvCodec::Row &row : decoded.rows) {
        diagram->appendActual1(row[0]);
        diagram->appendTarget1(row[1]);
        diagram->appendActual2(row[2]);
        diagram->appendTarget2(row[3]);
        diagram->appendActual3(row[4]);
        diagram->appendTarget3(row[5]);
        diagram->appendActual4(row[6]);
        diagram->appendTarget4(row[7]);
    }
    statusBar()->showMessage(QStringLiteral("成功导入%1个点").arg(decoded.lineCount), 0);
    logRows(bytes);
}
