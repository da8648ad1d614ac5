// How much of a growing text a text area shows. A device may send megabytes without a line
// break, or millions of short lines; the stores keep all of it (bounded by their own cap) and
// the files get all of it, but a text area that took it all would spend minutes in text layout
// and hundreds of megabytes in blocks. So an area shows only the tail of such a text, and a
// long line in pieces of bounded length.
#pragma once

#include <QString>
#include <cstddef>
#include <string_view>

namespace ui {

// The tail an area shows: at most this many bytes of the text and this many lines.
constexpr size_t kShownTailBytes = size_t{1} << 20;
constexpr size_t kShownTailLines = 20000;
// The store areas of the enlarged layout are small boxes: they show a shorter tail.
constexpr size_t kStoreAreaTailBytes = size_t{256} << 10;
constexpr size_t kStoreAreaTailLines = 4000;
// A shown line longer than this is broken into pieces of this many characters.
constexpr qsizetype kShownPieceChars = 4096;

// Where the shown tail of bytes starts: at a line start when one lies in the tail, else (one
// endless line) at the byte cap, which may be inside a two-byte character.
size_t shownTailStart(std::string_view bytes, size_t tailBytes = kShownTailBytes,
                      size_t tailLines = kShownTailLines);

// Puts a line break after every kShownPieceChars characters of a line. lineChars counts the
// characters already on the line the text continues; it is left at the count of the last line.
QString inPieces(const QString& text, qsizetype& lineChars);

}  // namespace ui
