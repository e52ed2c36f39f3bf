#pragma once

#include "app/language.h"

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QSettings>
#include <QVariant>

#include <functional>
#include <memory>
#include <vector>

class QMainWindow;
class QWidget;

// The bench as the user left it: what the window's controls were set to, the window's place
// and dock layout, the dialogs' folders and the language, kept in a QSettings store and given
// back at the next start. Only the program attaches it (main); a window without it reads and
// writes nothing, as every test builds one.
//
// Each value is a key bound to a control: restored when bound, written whenever the control
// changes, and put back to what it showed before the restore by 工具 → 恢复默认设置, which
// also empties the store. More values (a form of one's own) come in with bind() or
// bindValue() at any time after attach().
class BenchSettings : public QObject
{
    Q_OBJECT

public:
    // Takes the store; null keeps nothing and restores nothing (--no-settings).
    explicit BenchSettings(std::unique_ptr<QSettings> store, QObject *parent = nullptr);
    ~BenchSettings() override;

    // The user's store in the platform's place (~/.config/tavrino/tavrino.conf on Linux).
    static std::unique_ptr<QSettings> userStore();

    // The language stored by the last --lang; false when none is.
    bool language(Language::Code &code) const;
    void setLanguage(Language::Code code);

    // Restores into `window` by object names and follows its changes from now on; adds the
    // restore-defaults action to its tools menu ("menuTools"). True when a window geometry
    // was restored: show the window as it stands then, not at its first-start size.
    bool attach(QMainWindow *window);

    // A combo box (editable: its text, else its index), a checkable button or a line edit.
    void bind(const QString &key, QWidget *widget);
    // Any value: `get` reads it, `set` puts it back, `signal` of `sender` says it changed.
    template <typename Sender, typename Signal>
    void bindValue(const QString &key, Sender *sender, Signal signal, std::function<QVariant()> get,
                   std::function<void(const QVariant &)> set)
    {
        const std::size_t index = addValue(key, std::move(get), std::move(set));
        connect(sender, signal, this, [this, index] { write(index); });
    }

    // Empties the store and puts every bound value and the dock layout back to its default.
    void restoreDefaults();

    // Writes the window's geometry and dock layout (also done when it closes).
    void saveWindow();

Q_SIGNALS:
    // For the status bar.
    void message(const QString &text);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct Value
    {
        QString key;
        std::function<QVariant()> get;
        std::function<void(const QVariant &)> set;
        QVariant initial;
    };
    std::size_t addValue(const QString &key, std::function<QVariant()> get,
                         std::function<void(const QVariant &)> set);
    void write(std::size_t index);

    std::unique_ptr<QSettings> store;
    std::vector<Value> values;
    QPointer<QMainWindow> window;
    QByteArray initialLayout;
    // While values are put back, their change signals write nothing.
    bool applying = false;
    // After a restore of the defaults the next start takes the first-start geometry.
    bool keepGeometry = true;
};
