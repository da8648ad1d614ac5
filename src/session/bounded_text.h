// A text kept the way a line store keeps it (each appended text followed by CR LF, so a text
// with CR LF inside adds several lines), held as the bytes a save writes. Appending costs the
// size of the appended text only, and the whole is bounded: a device that floods text without
// the marker it is waited for must not exhaust memory. Past the cap the oldest text is dropped,
// at a line start where one is near, and a cut mark line stands at the top instead. A text of a
// run draws what it holds beyond a small part of its own from the run's pool, so its room is
// also what the pool could give it.
//
// Once cut, the text knows it until it is emptied: its head lines are gone, and a file made of
// it says so in its first line.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "session/text_pool.h"

namespace session {

class BoundedText {
public:
    // Far above any real dump (a few MiB), and low enough that a session flooded into both its
    // terminal text and its device log stays well under the program's memory budget.
    static constexpr size_t kDefaultCapBytes = size_t{32} << 20;
    // What a text of a pool holds without drawing: a session's short replies never depend on
    // what the other sessions hold.
    static constexpr size_t kOwnBytes = size_t{64} << 10;

    explicit BoundedText(size_t capBytes = kDefaultCapBytes, TextPool* pool = nullptr);
    ~BoundedText();
    BoundedText(const BoundedText&) = delete;
    BoundedText& operator=(const BoundedText&) = delete;

    void append(std::string_view text);
    // Puts a file's header line on top. When the head was cut, the header takes the cut mark's
    // place and carries headCutNote() (ahead of the CRs that end `line`), so the file's first
    // line says that its head is missing.
    void insertTop(std::string_view line);
    // Removes line 0: the text up to and including the first CR LF (everything when none).
    // After a cut the first lines went with the head: nothing is removed then, so a line the
    // text kept is never taken for one of them.
    void removeFirst();
    void clear();
    // Hands the text over and leaves the store empty, its memory released.
    std::string take();

    // Each line followed by CR LF: what saving the store writes.
    const std::string& bytes() const { return m_text; }
    bool empty() const { return m_text.empty(); }
    size_t size() const { return m_text.size(); }
    // Text was dropped from the head since the store was last emptied.
    bool headCut() const { return m_headCut; }
    // Changes whenever text is removed or put before the end (clear, cut, removeFirst,
    // insertTop). While it stays the same the text only grew at its end, so a view that has
    // shown the first n bytes shows bytes().substr(n) next.
    uint64_t generation() const { return m_generation; }
    // The line that replaces the dropped text.
    static std::string cutMark();
    // What a header line of a cut text ends with.
    static std::string headCutNote();
    // Whether saved bytes say in their first line that their head is cut: the cut mark, or a
    // header carrying the note.
    static bool saysHeadCut(std::string_view bytes);

private:
    // The most the text may hold once it needs `need` bytes: its cap, or what its pool gave.
    size_t roomFor(size_t need);
    void appendPastCap(std::string_view text, size_t total, size_t room);
    // Empties the text, frees its memory and gives its draw back.
    void release();

    std::string m_text;
    size_t m_cap;
    TextPool* m_pool;
    size_t m_drawn = 0;  // from the pool
    uint64_t m_generation = 0;
    bool m_headCut = false;
    bool m_markOnTop = false;  // line 0 is the cut mark
};

}  // namespace session
