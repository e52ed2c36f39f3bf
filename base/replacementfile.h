#pragma once

#include <QFile>

// A file that replaces another whole: written under a name of its own beside the target
// ("NAME.XXXXXX.part", on the same disk), it takes the target's place in one step, a rename,
// once it is complete. Until then the target stays as it was; discarded, nothing is left.
// Opened as the target itself (a new file, a device), there is nothing to replace.
class ReplacementFile : public QFile
{
public:
    ReplacementFile() = default;
    // An open file beside its target is discarded.
    ~ReplacementFile() override;

    // Creates the file beside `target` and opens it in `mode`. It starts with the target's
    // permissions, or a new file's when there is no target. False with errorString().
    bool openBeside(const QString &target, OpenMode mode);
    // Opens `target` itself.
    bool openTarget(const QString &target, OpenMode mode);

    // Closes the file, written out to the disk, and puts it in the target's place; from then
    // on it has the target's name. False with errorString(), the file left beside as it is.
    bool replaceTarget();
    // Closes the file; one beside its target is removed, the target stays as it was.
    void discard();

    QString target() const { return targetName; }
    bool isBeside() const { return fileName() != targetName; }

private:
    QString targetName;
};
