#include "app/benchsettings.h"

#include "datafiles/recentfolders.h"
#include "pidlink/pidframe.h"
#include "tuning/tuningpanel.h"

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QCoreApplication>
#include <QEvent>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QSettings>
#include <QStatusBar>
#include <QTabWidget>

namespace {

// The controls kept by object name. Not kept on purpose: P, I, D, 目标 and 实际, which start
// as the form has them every time.
const struct
{
    const char *key;
    const char *objectName;
} boundControls[] = {
    {"serial/port", "comboPort"},
    {"serial/baud", "comboBaudrate"},
    {"serial/dataBits", "comboDatabit"},
    {"serial/stopBits", "comboStopbit"},
    {"serial/parity", "comboCheckbit"},
    {"pid/port", "comboPortPID"},
    {"pid/baud", "comboBaudratePID"},
    {"pid/dataBits", "comboDatabitPID"},
    {"pid/stopBits", "comboStopbitPID"},
    {"pid/parity", "comboCheckbitPID"},
    {"pid/verifyWrite", "checkVerifyWrite"},
    {"pid/stringMode", "checkStringMode"},
    {"chart/historyLength", "comboHistory"},
    {"chart/auto", "checkAuto"},
    {"chart/compare", "checkCompare"},
    {"chart/timeInSeconds", "checkTimeInSeconds"},
    {"analysis/runsUnit", "comboRunsUnit"},
    {"analysis/runsChannel", "comboRunsChannel"},
};

const char languageKey[] = "window/language";
const char geometryKey[] = "window/geometry";
const char layoutKey[] = "window/layout";

} // namespace

BenchSettings::BenchSettings(std::unique_ptr<QSettings> settings, QObject *parent)
    : QObject(parent), store(std::move(settings))
{
}

BenchSettings::~BenchSettings() = default;

std::unique_ptr<QSettings> BenchSettings::userStore()
{
    const QString name = QCoreApplication::applicationName();
    return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope, name, name);
}

bool BenchSettings::language(Language::Code &code) const
{
    return store && Language::fromName(store->value(QLatin1String(languageKey)).toString(), code);
}

void BenchSettings::setLanguage(Language::Code code)
{
    if (store)
        store->setValue(QLatin1String(languageKey),
                        code == Language::English ? QStringLiteral("en") : QStringLiteral("zh"));
}

bool BenchSettings::attach(QMainWindow *target)
{
    window = target;
    window->installEventFilter(this);
    initialLayout = window->saveState();
    // Restoring clicks boxes that say so in the status bar; the start's message stays.
    const QString greeting = window->statusBar()->currentMessage();

    for (const auto &control : boundControls) {
        if (auto *widget = window->findChild<QWidget *>(QLatin1String(control.objectName)))
            bind(QLatin1String(control.key), widget);
    }
    if (auto *folders = window->findChild<RecentFolders *>()) {
        for (int k = 0; k < RecentFolders::KindCount; ++k) {
            const auto kind = RecentFolders::Kind(k);
            bindValue(
                QStringLiteral("folders/") + RecentFolders::name(kind), folders,
                &RecentFolders::changed, [folders, kind] { return folders->folder(kind); },
                [folders, kind](const QVariant &v) { folders->setFolder(kind, v.toString()); });
        }
    }
    if (auto *tuning = window->findChild<TuningPanel *>()) {
        for (int c = 0; c < ChannelCount; ++c) {
            bindValue(
                QStringLiteral("tuning/form%1").arg(c + 1), tuning, &TuningPanel::formChanged,
                [tuning, c] { return tuning->formEntry(c); },
                [tuning, c](const QVariant &v) { tuning->setFormEntry(c, v.toMap()); });
        }
    }
    // The tab before the dock layout, and the dock's menu action after it: the action shows
    // the dock only on its tab.
    if (auto *tabs = window->findChild<QTabWidget *>(QStringLiteral("tabSwitch"))) {
        bindValue(
            QStringLiteral("window/tab"), tabs, &QTabWidget::currentChanged,
            [tabs] { return tabs->currentIndex(); },
            [tabs](const QVariant &v) {
                const int index = v.toInt();
                if (index >= 0 && index < tabs->count())
                    tabs->setCurrentIndex(index);
            });
    }
    bool placed = false;
    if (store) {
        placed = window->restoreGeometry(store->value(QLatin1String(geometryKey)).toByteArray());
        window->restoreState(store->value(QLatin1String(layoutKey)).toByteArray());
    }
    if (auto *dock = window->findChild<QAction *>(QStringLiteral("actionAnalysis"))) {
        bindValue(
            QStringLiteral("window/analysis"), dock, &QAction::toggled,
            [dock] { return dock->isChecked(); },
            [dock](const QVariant &v) { dock->setChecked(v.toBool()); });
    }
    window->statusBar()->showMessage(greeting, 0);

    auto *reset = new QAction(tr("恢复默认设置"), window);
    reset->setObjectName(QStringLiteral("actionRestoreDefaults"));
    reset->setToolTip(tr("忘记记住的端口、窗口布局、选项和文件夹，回到首次启动时的设置"));
    connect(reset, &QAction::triggered, this, &BenchSettings::restoreDefaults);
    if (auto *tools = window->findChild<QMenu *>(QStringLiteral("menuTools"))) {
        tools->addSeparator();
        tools->addAction(reset);
    }
    connect(this, &BenchSettings::message, window->statusBar(),
            [bar = window->statusBar()](const QString &text) { bar->showMessage(text, 0); });
    return placed;
}

void BenchSettings::bind(const QString &key, QWidget *widget)
{
    if (auto *box = qobject_cast<QComboBox *>(widget)) {
        // An editable box keeps what was typed, a device that is gone included: shown in
        // the box, opened only when the user says so.
        if (box->isEditable()) {
            bindValue(
                key, box, &QComboBox::currentTextChanged, [box] { return box->currentText(); },
                [box](const QVariant &v) { box->setCurrentText(v.toString()); });
        } else {
            bindValue(
                key, box, QOverload<int>::of(&QComboBox::currentIndexChanged),
                [box] { return box->currentIndex(); },
                [box](const QVariant &v) {
                    const int index = v.toInt();
                    if (index >= 0 && index < box->count())
                        box->setCurrentIndex(index);
                });
        }
    } else if (auto *button = qobject_cast<QAbstractButton *>(widget)) {
        // A click, as the user's: the window's slots listen to clicked() as well as toggled().
        bindValue(
            key, button, &QAbstractButton::toggled, [button] { return button->isChecked(); },
            [button](const QVariant &v) {
                if (button->isChecked() == v.toBool())
                    return;
                if (button->isEnabled())
                    button->click();
                else
                    button->setChecked(v.toBool());
            });
    } else if (auto *edit = qobject_cast<QLineEdit *>(widget)) {
        bindValue(
            key, edit, &QLineEdit::textChanged, [edit] { return edit->text(); },
            [edit](const QVariant &v) { edit->setText(v.toString()); });
    }
}

std::size_t BenchSettings::addValue(const QString &key, std::function<QVariant()> get,
                                    std::function<void(const QVariant &)> set)
{
    values.push_back({key, std::move(get), std::move(set), QVariant()});
    Value &value = values.back();
    value.initial = value.get();
    if (store && store->contains(key)) {
        applying = true;
        value.set(store->value(key));
        applying = false;
    }
    return values.size() - 1;
}

void BenchSettings::write(std::size_t index)
{
    if (applying || !store)
        return;
    const Value &value = values[index];
    store->setValue(value.key, value.get());
}

void BenchSettings::restoreDefaults()
{
    applying = true;
    for (const Value &value : values)
        value.set(value.initial);
    if (window)
        window->restoreState(initialLayout);
    applying = false;
    if (store)
        store->clear();
    keepGeometry = false;
    Q_EMIT message(tr("已恢复默认设置"));
}

void BenchSettings::saveWindow()
{
    if (!store || !window)
        return;
    if (keepGeometry)
        store->setValue(QLatin1String(geometryKey), window->saveGeometry());
    store->setValue(QLatin1String(layoutKey), window->saveState());
    store->sync();
}

bool BenchSettings::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == window && event->type() == QEvent::Close)
        saveWindow();
    return QObject::eventFilter(watched, event);
}
