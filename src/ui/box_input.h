// What the operator may type into a box. Record fields travel as comma-separated lines, so a
// comma, CR or LF in a record-editor box would split or merge records; other boxes (file paths,
// waits, the filter) are kept in line-based files and take a comma but no line break. A
// character that code page 932 cannot hold could never reach a file. Such input is refused at
// the box itself.
#pragma once

#include <QString>
#include <cstddef>
#include <optional>
#include <string>

namespace ui {

enum class BoxRefusal { None, Unencodable, Separator, LineBreak, TooLong };

struct BoxInput {
    std::optional<std::string> bytes;  // the code page 932 bytes when accepted
    BoxRefusal refusal = BoxRefusal::None;
};

// byteLimit 0: no limit. The limit counts code page 932 bytes (a full-width character is 2).
// commaAllowed: a box whose text is no record field.
BoxInput checkBoxInput(const QString& typed, size_t byteLimit = 0, bool commaAllowed = false);

// Multi-line areas: line breaks are the line separators there, so only the encoding is checked.
// Qt's "\n" becomes the CR LF of a line store.
BoxInput checkAreaInput(const QString& typed);

// The hint shown beside a refused input.
QString refusalHint(BoxRefusal refusal, size_t byteLimit);

// A line store as a text area shows it: one block per line. A lone CR or LF inside a line
// would make a block of its own and break the line-to-block pairing, so it is shown as a blank.
QString lineForDisplay(const std::string& cp932);

}  // namespace ui
