// A text kept the way a line store keeps it (each appended text followed by CR LF, so a text
// with CR LF inside adds several lines), held as the bytes a save writes. Appending costs the
// size of the appended text only, and the whole is bounded: a device that floods text without
// the marker it is waited for must not exhaust memory. Past the cap the oldest text is dropped,
// at a line start where one is near, and a cut mark line stands at the top instead.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace session {

class BoundedText {
public:
    // Far above any real dump (a few MiB), and low enough that a session flooded into both its
    // terminal text and its device log stays well under the program's memory budget.
    static constexpr size_t kDefaultCapBytes = size_t{32} << 20;

    explicit BoundedText(size_t capBytes = kDefaultCapBytes);

    void append(std::string_view text);
    void insertTop(std::string_view line);
    // Removes line 0: the text up to and including the first CR LF (everything when none).
    void removeFirst();
    void clear();
    // Hands the text over and leaves the store empty, its memory released.
    std::string take();

    // Each line followed by CR LF: what saving the store writes.
    const std::string& bytes() const { return m_text; }
    bool empty() const { return m_text.empty(); }
    size_t size() const { return m_text.size(); }
    // Changes whenever text is removed or put before the end (clear, cut, removeFirst,
    // insertTop). While it stays the same the text only grew at its end, so a view that has
    // shown the first n bytes shows bytes().substr(n) next.
    uint64_t generation() const { return m_generation; }
    // The line that replaces the dropped text.
    static std::string cutMark();

private:
    void appendPastCap(std::string_view text, size_t total);
    void cut();

    std::string m_text;
    size_t m_cap;
    uint64_t m_generation = 0;
};

}  // namespace session
