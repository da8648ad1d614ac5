// The list view: one fixed-width display line per record, filtered by a word, with the check
// marks taken from the records; and the history of filter words.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "devlist/line_store.h"

namespace devlist {

// The display text of the record at 1-based position p: "No" 4 cells, "Name" 21, "IP address"
// 16, "File" 12, "Model" 24, "Time" 20, "Message" up to 30; 127 bytes when full.
std::string DisplayLine(int position, std::string_view line);

// The display text as the view draws it, in UTF-8. Decoded column by column, so a two-byte
// character cut at a column's end never pairs with the next column's first byte; every byte
// that forms no drawable character (an invalid byte, such a cut half, a control byte) becomes
// one "?", so each byte keeps exactly one cell and later columns never shift.
std::string DisplayCells(std::string_view displayText);

struct ListEntry {
    std::string text;
    bool checked = false;
    // The 0-based index of the record line in the store the entry was drawn from; -1: none.
    // Stored numbers may differ from positions (after a delete or a load that dropped lines),
    // so every way from a shown row to its record goes through this index.
    int line = -1;
};

struct ListRender {
    std::vector<ListEntry> entries;
    LineStore groupStore;  // the record line of each entry, in display order
};

// Renders the source store: stops at the first line whose flags field is empty; keeps the
// entries whose display text contains filterWord (bytes, case-sensitive; empty: all).
ListRender RenderList(std::string_view filterWord, const LineStore& source);

// "12 / 120"
std::string CountLabel(size_t shown, size_t total);

constexpr size_t kHistoryKeep = 10;

// The filter words, newest first.
class FilterHistory {
public:
    // Before inserting, drops the oldest word when more than 10 are held; inserts the word at
    // the top unless it is empty or already held (byte for byte).
    void remember(std::string_view word);
    void clear() { m_words.clear(); }
    const std::vector<std::string>& words() const { return m_words; }
    void setWords(std::vector<std::string> words) { m_words = std::move(words); }
    // The history file: one word per line, each followed by CR LF.
    static FilterHistory fromFileBytes(std::string_view bytes);
    std::string toFileBytes() const;

private:
    std::vector<std::string> m_words;
};

}  // namespace devlist
