// The text of the list view. Each record becomes one fixed-width line in which one byte takes
// one cell of the monospaced list font, so every column is padded and cut in bytes; the filter
// matches these display lines, not the records, so it finds exactly what the operator sees.
#include "devlist/list_view.h"

#include <array>

#include "devlist/fields.h"
#include "text/cp932.h"

namespace devlist {

namespace {

// text followed by `blanks` blanks, then cut to `width` bytes.
void appendColumn(std::string& out, std::string_view text, size_t blanks, size_t width) {
    size_t taken = std::min(text.size(), width);
    out.append(text.substr(0, taken));
    out.append(std::min(blanks, width - taken), ' ');
}

// The cell where each column begins: "No", "Name", "IP address", "File", "Model", "Time",
// "Message".
constexpr std::array<size_t, 7> kColumnStarts = {0, 4, 25, 41, 53, 77, 97};
constexpr std::string_view kCellMark = "?";

std::string columnCells(std::string_view column) {
    std::string bytes(column);
    for (size_t i = 0; i < bytes.size(); ++i) {
        auto b = static_cast<unsigned char>(bytes[i]);
        if (text::isLeadByte(b)) {
            ++i;  // its trail byte, if any, is checked by the decoder
        } else if (b < 0x20 || b == 0x7F) {
            bytes[i] = kCellMark[0];
        }
    }
    return text::decode(bytes, kCellMark);
}

bool checkedFlags(std::string_view flags) {
    return flags.size() >= 8 && flags[7] == '1';
}

}  // namespace

std::string DisplayLine(int position, std::string_view line) {
    std::string out;
    out.reserve(128);
    out += ZeroPad(position, 3);
    out += ' ';
    appendColumn(out, FieldGet(kListName, line), 25, 20);
    out += ' ';
    appendColumn(out, FieldGet(kIpAddress, line), 22, 16);
    appendColumn(out, FileNameOf(FieldGet(kSendFile, line)), 22, 12);
    appendColumn(out, FieldGet(kModelVersion, line), 34, 23);
    out += ' ';
    appendColumn(out, FieldGet(kLastSend, line), 22, 20);
    appendColumn(out, FieldGet(kMessage, line), 22, 30);
    return out;
}

std::string DisplayCells(std::string_view displayText) {
    std::string out;
    for (size_t c = 0; c < kColumnStarts.size() && kColumnStarts[c] < displayText.size(); ++c) {
        size_t end = c + 1 < kColumnStarts.size() ? kColumnStarts[c + 1] : displayText.size();
        out += columnCells(displayText.substr(kColumnStarts[c], end - kColumnStarts[c]));
    }
    return out;
}

ListRender RenderList(std::string_view filterWord, const LineStore& source) {
    ListRender r;
    for (size_t i = 0; i < source.size(); ++i) {
        const std::string& line = source[i];
        std::string flags = FieldGet(kFlags, line);
        if (flags.empty()) break;  // the list ends at the first line that is no record
        std::string text = DisplayLine(static_cast<int>(i + 1), line);
        if (!filterWord.empty() && text.find(filterWord) == std::string::npos) continue;
        r.entries.push_back({std::move(text), checkedFlags(flags), static_cast<int>(i)});
        r.groupStore.lines().push_back(line);
    }
    return r;
}

std::string CountLabel(size_t shown, size_t total) {
    return std::to_string(shown) + " / " + std::to_string(total);
}

void FilterHistory::remember(std::string_view word) {
    bool isNew = !word.empty();
    for (const auto& w : m_words)
        if (w == word) isNew = false;
    // The oldest word goes before the new one comes in, so the list tops out at 11 words.
    if (m_words.size() > kHistoryKeep) m_words.pop_back();
    if (isNew) m_words.insert(m_words.begin(), std::string(word));
}

FilterHistory FilterHistory::fromFileBytes(std::string_view bytes) {
    FilterHistory h;
    h.m_words = LineStore::fromFileBytes(bytes).lines();
    return h;
}

std::string FilterHistory::toFileBytes() const {
    return LineStore(m_words).toBytes();
}

}  // namespace devlist
