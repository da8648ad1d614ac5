// The files a session writes into the work folder: their names (a record that names none by
// itself takes one from its device), the header line a file begins with, the list of what was
// written and the file whose failed save ended the session. What a failure does to the dialogue
// stays the session's.
#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "devlist/edit_panel.h"
#include "session/session_context.h"

namespace session {

// A file the session could not write, and why (an errno value).
struct SaveFailure {
    std::filesystem::path file;
    int error = 0;
};

// The box that tells a failed save: the file's path, then " に書き込めません". A front end that
// says the failure in its own words (the runner) recognises the box by it and leaves it out.
std::string SaveFailureBox(const std::filesystem::path& file);
bool IsSaveFailureBox(std::string_view text);

class SessionFiles {
public:
    explicit SessionFiles(SessionContext& ctx) : m_ctx(ctx) {}

    // Every file is written after the MAC address is read: a record that names no files by
    // itself names them now, in the editor's boxes and in served, so that records without a MAC
    // address never write over each other's files.
    void nameFromDevice(devlist::EditPanel& served);
    // title + name + the record's address and the time: the first line of a file, and the
    // terminal's.
    std::string header(std::string_view title, std::string_view name) const;
    // The names of the session's files, by the record's boxes as they are when it is written.
    std::string dumpName(bool beforeWrite) const;
    std::string log20Name() const;
    std::string commLogName() const;

    // Writes bytes under name into the work folder and lists it; else the file and the errno.
    std::optional<SaveFailure> write(const std::string& name, std::string_view bytes);
    // The same through the context's saver, off the loop: done gets what write returns, unless
    // the saver or the owner (alive false) is gone by then.
    void save(const std::string& name, std::string bytes, std::shared_ptr<bool> alive,
              std::function<void(std::optional<SaveFailure>)> done);
    // Keeps the failure that ends the session, for its report.
    void keep(const SaveFailure& failure) { m_failure = failure; }
    // Tells the operator in a modal box, which lets other handlers run.
    void tell(const SaveFailure& failure) const;

    const std::vector<std::string>& saved() const { return m_saved; }
    const std::optional<SaveFailure>& failure() const { return m_failure; }

private:
    SessionContext& m_ctx;
    std::vector<std::string> m_saved;
    std::optional<SaveFailure> m_failure;
};

}  // namespace session
