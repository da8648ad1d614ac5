// The list file on disk: loading it, saving the committed list, import and export, and the
// backup copy of whatever a load or an import left out. One rule for every write over a list
// file: a file the program could not read is never written, and the bytes a load or import
// dropped are kept in a ".bak" copy beside the file before it is first replaced.
#pragma once

#include <string>

#include "platform/dialogs.h"
#include "shell/window_state.h"

namespace shell {

// "%s に書き込めません" with the path in place of "%s".
std::string cannotWriteText(const std::string& path);

class ListFiles {
public:
    ListFiles(WindowState& state, platform::Dialogs& dialogs)
        : m_state(state), m_dialogs(dialogs) {}

    // Reads the list-file box's file into the list store and the working copy.
    void load();
    // Writes the list store to the list file in use; false (after telling why) when it failed.
    bool save();
    // Writes the list store to another file, as "List エクスポート" does.
    bool exportTo(const std::string& path);

    // Reads a chosen file into the working copy. A file that exists but holds no list (or
    // cannot be read) is refused with a warning and changes nothing: false. A path with no
    // file yet is taken as a new list file.
    bool import(const std::string& path);
    // The import becomes the list file in use when applied; it is dropped on leaving without.
    void importApplied();
    void importDropped();

private:
    struct Backup {
        std::string path;
        std::string bytes;  // empty: nothing left to keep
    };

    bool writeOver(const std::string& path, const std::string& bytes);
    bool keepBackup(Backup& backup);

    WindowState& m_state;
    platform::Dialogs& m_dialogs;
    Backup m_backup;         // for the list file in use
    Backup m_pendingImport;  // the imported file, until the import is applied
    // A list file that exists but could not be read: the program never writes over it.
    std::string m_unreadable;
};

}  // namespace shell
