#include "datafiles/sessioncontrols.h"

#include "chart/pid_diagram.h"
#include "datafiles/sessionfiles.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QSignalBlocker>
#include <QStatusBar>

SessionControls::SessionControls(const Widgets &widgets, PID_Diagram *diagram, const PidLink *link,
                                 const PortController *ports, RecentFolders *folders)
    : QObject(widgets.window)
{
    // Filled before it is connected, so construction runs no slot; the default comes first.
    QComboBox *box = widgets.historyLength;
    for (const quint32 length : PID_Diagram::HistoryLengths)
        box->addItem(QString::number(length), length);
    box->setCurrentIndex(box->findData(diagram->historyLength()));
    connect(box, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            [box, diagram](int index) {
                if (index >= 0)
                    diagram->setHistoryLength(box->itemData(index).toUInt());
            });
    // Whoever changes the length (an import that needs more), the box shows it, without
    // setting it again.
    connect(diagram, &PID_Diagram::historyLengthChanged, this, [box](quint32 length) {
        const QSignalBlocker quiet(box);
        box->setCurrentIndex(box->findData(length));
    });
    connect(diagram, &PID_Diagram::capReached, this,
            [this] { emit message(tr("已达%1点，图表已清空").arg(PID_Diagram::SampleCap)); });

    sessions = new SessionFiles(link, ports, widgets.window);
    sessions->setFolders(folders);
    auto *actionCapture = new QAction(tr("原始数据捕获…"), widgets.window);
    actionCapture->setObjectName(QStringLiteral("actionCapture"));
    actionCapture->setCheckable(true);
    actionCapture->setToolTip(
        tr("把串口收到的每个字节连同到达时间写入文件，可用 tavrino-boardsim --replay 回放"));
    widgets.tools->addAction(actionCapture);
    widgets.tools->setToolTipsVisible(true);
    auto *labelRecording = new QLabel(widgets.window);
    labelRecording->setObjectName(QStringLiteral("labelRecording"));
    widgets.statusBar->addPermanentWidget(labelRecording);
    sessions->setControls(widgets.record, actionCapture, labelRecording, widgets.window);
}
