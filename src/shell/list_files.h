// The list file on disk: loading it, saving the committed list, import and export, and the
// backup copy of whatever a load or an import left out. One rule for every write over a list
// file: a file the program could not read is never written, and the bytes a load or import
// dropped are kept in a ".bak" copy beside the file before it is first replaced.
//
// A runner may write into the list file while the window has it open. Every write over the list
// file in use therefore goes through the list's locked rewrite (fleet::RewriteList), whose merge
// here is the window's lines merged with what the file gained since the window last read or wrote
// it (MergeSave); a session's result is written by the run's list writer, as a runner's is.
#pragma once

#include <functional>
#include <string>

#include "devlist/line_store.h"
#include "devlist/list_file.h"
#include "fleet/list_writer.h"
#include "fleet/result_rule.h"
#include "platform/dialogs.h"
#include "platform/file_stamp.h"
#include "shell/list_merge.h"
#include "shell/window_state.h"

namespace shell {

// "%s に書き込めません" with the path in place of "%s".
std::string cannotWriteText(const std::string& path);

class ListFiles {
public:
    ListFiles(WindowState& state, platform::Dialogs& dialogs)
        : m_state(state), m_dialogs(dialogs) {}

    // Where the reasons a file is not taken as a list go (the communication log).
    void setLogger(std::function<void(const std::string&)> log) { m_log = std::move(log); }

    // Reads the list-file box's file into the list store and the working copy.
    void load();
    // Writes the list store to the list file in use; false (after telling why) when it failed.
    // The results a runner wrote meanwhile come into the list store and the working copy.
    bool save();

    // Whether the list file in use is no longer as the window last read or wrote it: another
    // writer changed, replaced or removed it.
    bool changedOnDisk() const;
    // Takes in what another writer changed in the list file in use, as a save would, without
    // writing it: the list store, the working copy and the record editor follow. Gives how many
    // records changed, counting those that saves since the last call took in (takeCarried).
    size_t reload();
    // The number of records other writers changed that saves took in since the last call.
    size_t takeCarried();

    enum class ResultWrite { Written, Gone };
    // A session's result as the run's list writer left it in the list file in use (found by
    // the record's identity, only its result fields changed): the list store, the working copy,
    // the record editor and what the next save merges against follow it, without another write.
    // Gone: the record is no longer there, and nothing was written. A list file that could not
    // take it (missing, or no list any more) gets the list store with the result in it.
    ResultWrite resultRecorded(const fleet::RecordIdentity& record, const fleet::Outcome& outcome,
                               const fleet::ListWriter::Result& write);
    // A list file with a second name (a hard link) is replaced under its one name by the first
    // write; the operator is told so once, before it, and the write goes ahead.
    void warnOfSecondName(const std::string& path);
    // The record editor rewrote line `line` of the list store from before to after: the next
    // save knows the record by what it held before, whatever the editor changed.
    void recordEdited(size_t line, const std::string& before, const std::string& after);
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
    // writeOver without telling the operator: the path that could not be written, or "".
    std::string writeQuietly(const std::string& path, const std::string& bytes);
    std::string keepBackup(Backup& backup);
    void log(const std::string& line);
    size_t takeDisk(devlist::LineStore disk);
    // reload without handing on the count.
    void takeIn();
    void explain(const std::string& path, const devlist::ListBuild& build);

    WindowState& m_state;
    platform::Dialogs& m_dialogs;
    std::function<void(const std::string&)> m_log;
    Backup m_backup;         // for the list file in use
    Backup m_pendingImport;  // the imported file, until the import is applied
    // A list file that exists but could not be read: the program never writes over it.
    std::string m_unreadable;
    // The list file in use as the window last read or wrote it: what a runner's results are
    // told apart from. The imported file's, until the import is applied.
    devlist::LineStore m_base;
    devlist::LineStore m_importBase;
    // The list store's lines the record editor rewrote since m_base.
    EditedLines m_edited;
    // The list file in use as the window last read or wrote it, and the imported file's.
    platform::FileStamp m_seen;
    platform::FileStamp m_importSeen;
    size_t m_carried = 0;       // records other writers changed that saves took in
    std::string m_namesWarned;  // the list file whose second name the operator was told of
};

}  // namespace shell
