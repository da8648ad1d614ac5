#include "ui/terminal_mirror.h"

#include <QPlainTextEdit>
#include <QTextCursor>

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
    if (fresh) {
        m_decoder = text::StreamDecoder();
        m_edit->setPlainText(forDisplay(m_decoder.feed(text.bytes())));
    } else {
        QTextCursor end(m_edit->document());
        end.movePosition(QTextCursor::End);
        end.insertText(forDisplay(m_decoder.feed(std::string_view(text.bytes()).substr(m_shown))));
    }
    m_synced = true;
    m_sourceId = sourceId;
    m_generation = text.generation();
    m_shown = text.size();
    // The newest line in view, the caret at the start of the last line.
    QTextCursor c(m_edit->document());
    c.movePosition(QTextCursor::End);
    c.movePosition(QTextCursor::StartOfBlock);
    m_edit->setTextCursor(c);
    m_edit->ensureCursorVisible();
}

}  // namespace ui
