// Shows a session's terminal text in a text area. The text only grows between two looks unless
// its generation changed, so a look costs the new bytes, never the whole text again: a device
// that dumps megabytes in many chunks must not make the window quadratic.
#pragma once

#include <cstdint>
#include <string>

#include "session/bounded_text.h"
#include "text/cp932.h"

class QPlainTextEdit;

namespace ui {

class TerminalMirror {
public:
    explicit TerminalMirror(QPlainTextEdit* edit) : m_edit(edit) {}
    // sourceId names the text: another id (another session) redraws the area from the start.
    void sync(const session::BoundedText& text, uint64_t sourceId);
    // The area shows something else now: the next sync starts afresh.
    void forget() { m_synced = false; }

private:
    QPlainTextEdit* m_edit;
    bool m_synced = false;
    uint64_t m_sourceId = 0;
    uint64_t m_generation = 0;
    size_t m_shown = 0;
    text::StreamDecoder m_decoder;  // a lead byte at the end of one piece waits for the next
};

}  // namespace ui
