// A session's file saves: on the loop, or off it through the run's saver, whose result comes
// back as a step of its own. While a save is out, what the device sends is held in order and
// handled once the save is back; a failed save ends the session with its own result, since a
// device whose files are lost must neither look served nor wait for its time-out.
#include "session/device_session.h"

namespace session {

// A text cut for memory is saved as it is, its first line saying so, and the session is a
// failure from then on, whatever else goes well. then follows once the file is written: at once
// for a save on the loop, when its result comes back for one off the loop (true then).
// False when the file could not be written: the session ends at once with a result that says
// so, for a device whose files are lost must neither look served nor wait for its time-out, and
// nothing more goes to it. The error box is modal and lets other handlers run, so the caller
// checks its alive token afterwards.
bool DeviceSession::saveText(const std::string& name, const BoundedText& text, Then then) {
    if (text.headCut()) {
        m_textCut = true;
        setResult(kResultTextCut);
    }
    if (m_ctx.saver) {
        m_saving = true;
        m_files.save(
            name, std::string(text.bytes()), m_alive,
            [this, then](const std::optional<SaveFailure>& failure) { saved(failure, then); });
        return true;
    }
    const std::optional<SaveFailure> failure = m_files.write(name, text.bytes());
    if (failure) {
        saveFailed(*failure);
        return false;
    }
    (this->*then)();
    return true;
}

// False when this object is gone.
bool DeviceSession::saveFailed(const SaveFailure& failure) {
    if (!m_ended) {
        m_files.keep(failure);
        setResult(kResultSaveFailed);
        m_window.stopPause();
        m_out.close();
        m_timeout->stop();
        m_endPending = true;
    }
    std::shared_ptr<bool> alive = m_alive;
    m_files.tell(failure);
    return *alive;
}

// A save's result, back on the loop. A session that timed out meanwhile stays timed out; a
// failed save still ends it as one, since the run must know its files are lost.
void DeviceSession::saved(const std::optional<SaveFailure>& failure, Then then) {
    m_saving = false;
    std::shared_ptr<bool> alive = m_alive;
    if (failure) {
        if (!saveFailed(*failure)) return;
    } else if (!m_out.closed()) {
        (this->*then)();
    }
    changed();
    if (m_endPending) {
        end();
        if (!*alive) return;
    }
    while (!m_saving && !m_held.empty() && !m_out.closed()) {
        HeldChunk held = std::move(m_held.front());
        m_held.pop_front();
        m_heldBytes -= held.bytes.size();
        handleChunk(held.bytes, held.window);
        if (!*alive) return;
    }
    if (m_out.closed()) {
        m_held.clear();
        m_heldBytes = 0;
    }
    if (!m_saving && m_readLater) {
        m_readLater = false;
        onReadable();
    }
}

}  // namespace session
