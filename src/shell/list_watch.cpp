#include "shell/list_watch.h"

#include "text/cp932.h"

namespace shell {

ListWatch::ListWatch(WindowState& state, ListFiles& files, platform::EventLoop& loop, Hooks hooks)
    : m_state(state), m_files(files), m_hooks(std::move(hooks)), m_timer(loop.createTimer()) {
    m_timer->setCallback([this] { check(); });
    m_timer->start(kListWatchMs);
}

// A record open in the editor, the working copy of list editing and a run's served record are
// all the operator's: taking the file in under them would change what is being typed or sent.
bool ListWatch::editing() const {
    const WindowState& s = m_state;
    return s.editShown || s.listEditShown || s.settingsShown || s.isEnabled(Control::Stop);
}

void ListWatch::check() {
    const bool changed = m_files.changedOnDisk();
    if (editing()) {
        if (changed && !m_deferred) {
            m_deferred = true;
            m_hooks.log(
                m_state.listFilePath +
                text::sj(
                    " が他のプログラムにより更新されました。編集を終えると読み込み直します。"));
        }
        return;
    }
    // The save that ends an edit may already have taken the changes in.
    const size_t records = changed ? m_files.reload() : m_files.takeCarried();
    if (records == 0 && !m_deferred) return;
    m_deferred = false;
    if (records > 0) {
        m_hooks.log(m_state.listFilePath + text::sj(" が他のプログラムにより更新されました。") +
                    std::to_string(records) + text::sj("台の記録を読み込み直しました。"));
    }
    m_hooks.reloaded();
}

}  // namespace shell
