#include "ui/terminal_mirror.h"

#include <QPlainTextEdit>
#include <QTextCursor>
#include <algorithm>

#include "ui/text_tail.h"

namespace ui {
namespace {

// Lines end in CR LF (and echo lines in CR CR LF); the area breaks lines at LF alone.
QString forDisplay(const std::string& utf8) {
    QString s = QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
    s.remove(u'\r');
    return s;
}

}  // namespace

void TerminalMirror::sync(const session::BoundedText& text, uint64_t sourceId) {
    const bool fresh = !m_synced || m_sourceId != sourceId || m_generation != text.generation() ||
                       text.size() < m_shown;
    if (!fresh && text.size() == m_shown) return;
    std::string_view bytes = text.bytes();
    const size_t added = fresh ? bytes.size() : bytes.size() - m_shown;
    if (fresh || added > m_tailBytes || m_areaBytes + added > 2 * m_tailBytes ||
        static_cast<size_t>(m_edit->document()->blockCount()) +
                static_cast<size_t>(std::count(bytes.end() - added, bytes.end(), '\n')) >
            2 * m_tailLines) {
        redraw(bytes);
    } else {
        append(bytes.substr(m_shown));
    }
    m_synced = true;
    m_sourceId = sourceId;
    m_generation = text.generation();
    m_shown = bytes.size();
    if (!m_followEnd) return;
    // The newest line in view, the caret at the start of the last line.
    QTextCursor c(m_edit->document());
    c.movePosition(QTextCursor::End);
    c.movePosition(QTextCursor::StartOfBlock);
    m_edit->setTextCursor(c);
    m_edit->ensureCursorVisible();
}

void TerminalMirror::redraw(std::string_view bytes) {
    const size_t from = shownTailStart(bytes, m_tailBytes, m_tailLines);
    m_decoder = text::StreamDecoder();
    m_lineChars = 0;
    m_edit->setPlainText(inPieces(forDisplay(m_decoder.feed(bytes.substr(from))), m_lineChars));
    m_areaBytes = bytes.size() - from;
}

void TerminalMirror::append(std::string_view bytes) {
    QTextCursor end(m_edit->document());
    end.movePosition(QTextCursor::End);
    end.insertText(inPieces(forDisplay(m_decoder.feed(bytes)), m_lineChars));
    m_areaBytes += bytes.size();
}

}  // namespace ui
