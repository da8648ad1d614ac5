// An ordered list of text lines, as the program keeps the list, its working copies and its
// text areas. Appending a text adds it followed by CR LF, so a text with CR LF inside adds
// several lines and one ending in CR LF is followed by an empty line; a lone CR stays in its
// line. Saving writes each line followed by CR LF.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace devlist {

class LineStore {
public:
    LineStore() = default;
    explicit LineStore(std::vector<std::string> lines) : m_lines(std::move(lines)) {}

    // Lines of a file: they end at CR LF, a lone CR or a lone LF; an empty last piece after
    // the final line break is no line.
    static LineStore fromFileBytes(std::string_view bytes);
    // The text as a file holds it: each line followed by CR LF.
    std::string toBytes() const;
    // Lines separated by CR LF, as a text area shows the store (no CR LF after the last line).
    std::string text() const;
    // Replaces the whole content by a text split at CR LF (a text area typed into).
    void setText(std::string_view text);

    void append(std::string_view text);
    void insertTop(std::string_view line);
    void removeFirst();
    void clear() { m_lines.clear(); }

    size_t size() const { return m_lines.size(); }
    bool empty() const { return m_lines.empty(); }
    const std::string& operator[](size_t i) const { return m_lines[i]; }
    std::string& operator[](size_t i) { return m_lines[i]; }
    std::vector<std::string>& lines() { return m_lines; }
    const std::vector<std::string>& lines() const { return m_lines; }
    bool operator==(const LineStore&) const = default;

private:
    std::vector<std::string> m_lines;
};

}  // namespace devlist
