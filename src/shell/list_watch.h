// Keeps the window's view of the list file in step with the file: a runner or another window
// may write results into it while the window is open. Every kListWatchMs the file's stamp is
// compared with the one the window last read or wrote; when it differs, the list is taken in as
// a save would take it (ListFiles::reload) and the log says how many records changed. While the
// operator is in the middle of an edit (the record editor, list editing, a run) the log says
// the file changed, once, and the list is taken in when the edit ends.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/event_loop.h"
#include "shell/list_files.h"
#include "shell/window_state.h"

namespace shell {

constexpr uint32_t kListWatchMs = 1000;

class ListWatch {
public:
    struct Hooks {
        std::function<void(const std::string&)> log;
        // The list was taken in: the view is drawn anew and shown.
        std::function<void()> reloaded;
    };

    ListWatch(WindowState& state, ListFiles& files, platform::EventLoop& loop, Hooks hooks);

    // One look at the file; the timer calls it.
    void check();

private:
    bool editing() const;

    WindowState& m_state;
    ListFiles& m_files;
    Hooks m_hooks;
    std::unique_ptr<platform::Timer> m_timer;
    bool m_deferred = false;  // the operator was told the file changed during an edit
};

}  // namespace shell
