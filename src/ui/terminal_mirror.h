// Shows a session's growing text (its terminal, its device log) in a text area. The text only
// grows between two looks unless its generation changed, so a look costs the new bytes, never
// the whole text again: a device that dumps megabytes in many chunks must not make the window
// quadratic. The area shows only the text's tail, long lines in pieces (ui/text_tail.h); when
// the new text alone is longer than the tail, or the area holds twice the tail, the area is
// drawn afresh from the tail.
#pragma once

#include <QtGlobal>
#include <cstdint>
#include <string>

#include "session/bounded_text.h"
#include "text/cp932.h"
#include "ui/text_tail.h"

class QPlainTextEdit;

namespace ui {

class TerminalMirror {
public:
    // followEnd: keep the newest line in view, the caret at its start.
    // tailBytes, tailLines: how much of the text the area shows at most.
    explicit TerminalMirror(QPlainTextEdit* edit, bool followEnd = true,
                            size_t tailBytes = kShownTailBytes, size_t tailLines = kShownTailLines)
        : m_edit(edit), m_followEnd(followEnd), m_tailBytes(tailBytes), m_tailLines(tailLines) {}
    // sourceId names the text: another id (another session) redraws the area from the start.
    void sync(const session::BoundedText& text, uint64_t sourceId);
    // The area shows something else now: the next sync starts afresh.
    void forget() { m_synced = false; }

private:
    void redraw(std::string_view bytes);
    void append(std::string_view bytes);

    QPlainTextEdit* m_edit;
    bool m_followEnd;
    size_t m_tailBytes;
    size_t m_tailLines;
    bool m_synced = false;
    uint64_t m_sourceId = 0;
    uint64_t m_generation = 0;
    size_t m_shown = 0;             // bytes of the text looked at
    size_t m_areaBytes = 0;         // bytes of the text the area holds
    qsizetype m_lineChars = 0;      // characters on the area's last line
    text::StreamDecoder m_decoder;  // a lead byte at the end of one piece waits for the next
};

}  // namespace ui
