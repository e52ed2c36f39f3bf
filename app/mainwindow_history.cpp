// PID tab: the chart's history length, and the session files (recording, raw capture).
#include "app/mainwindow.h"
#include "app/stickystatus.h"
#include "chart/pid_diagram.h"
#include "datafiles/sessionfiles.h"
#include "forms/mainwindow_ui.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QSignalBlocker>
#include <QStatusBar>

void MainWindow::wireHistory()
{
    // Filled before it is connected, so construction runs no slot; the default comes first.
    for (const quint32 length : PID_Diagram::HistoryLengths)
        ui->comboHistory->addItem(QString::number(length), length);
    ui->comboHistory->setCurrentIndex(ui->comboHistory->findData(diagram->historyLength()));
    connect(ui->comboHistory, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            [this](int index) {
                if (index >= 0)
                    diagram->setHistoryLength(ui->comboHistory->itemData(index).toUInt());
            });
    // Whoever changes the length (an import that needs more), the box shows it, without
    // setting it again.
    connect(diagram, &PID_Diagram::historyLengthChanged, this, [this](quint32 length) {
        const QSignalBlocker quiet(ui->comboHistory);
        ui->comboHistory->setCurrentIndex(ui->comboHistory->findData(length));
    });
    connect(diagram, &PID_Diagram::capReached, this, [this] {
        statusBar()->showMessage(tr("已达%1点，图表已清空").arg(PID_Diagram::SampleCap), 0);
    });

    sessions = new SessionFiles(link, ports, this);
    sessions->setFolders(folders);
    auto *actionCapture = new QAction(tr("原始数据捕获…"), this);
    actionCapture->setObjectName(QStringLiteral("actionCapture"));
    actionCapture->setCheckable(true);
    actionCapture->setToolTip(
        tr("把串口收到的每个字节连同到达时间写入文件，可用 tavrino-boardsim --replay 回放"));
    menuTools->addAction(actionCapture);
    menuTools->setToolTipsVisible(true);
    auto *labelRecording = new QLabel(this);
    labelRecording->setObjectName(QStringLiteral("labelRecording"));
    statusBar()->addPermanentWidget(labelRecording);
    sessions->setControls(ui->buttonRecord, actionCapture, labelRecording, this);
    connect(sessions, &SessionFiles::message, this,
            [this](const QString &text) { statusBar()->showMessage(text, 0); });
    // Failures stay in view over the routine messages that follow.
    connect(sessions, &SessionFiles::failure, new StickyStatus(statusBar()), &StickyStatus::hold);
}
