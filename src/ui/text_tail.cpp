#include "ui/text_tail.h"

#include <algorithm>

namespace ui {

size_t shownTailStart(std::string_view bytes, size_t tailBytes, size_t tailLines) {
    size_t from = bytes.size() - std::min(bytes.size(), tailBytes);
    // Count lines back from the end, within the byte cap.
    size_t lines = 0;
    size_t at = bytes.size();
    while (at > from) {
        size_t lf = bytes.rfind('\n', at - 1);
        if (lf == std::string_view::npos || lf < from) break;
        // A break that ends the text starts no line of its own.
        if (lf + 1 < bytes.size() && ++lines >= tailLines) return lf + 1;
        at = lf;
    }
    if (from == 0) return 0;
    size_t lf = bytes.find('\n', from);
    return lf == std::string_view::npos || lf + 1 >= bytes.size() ? from : lf + 1;
}

QString inPieces(const QString& text, qsizetype& lineChars) {
    QString out;
    out.reserve(text.size() + text.size() / kShownPieceChars + 1);
    qsizetype start = 0;
    while (start < text.size()) {
        qsizetype lf = text.indexOf(u'\n', start);
        qsizetype end = lf < 0 ? text.size() : lf;
        while (end - start > kShownPieceChars - lineChars) {
            qsizetype cut = start + std::max<qsizetype>(kShownPieceChars - lineChars, 0);
            // Never between the two halves of a surrogate pair.
            if (cut > start && cut < text.size() && text[cut].isLowSurrogate()) --cut;
            if (cut == start && lineChars == 0) cut = start + 1;
            out += QStringView(text).mid(start, cut - start);
            out += u'\n';
            start = cut;
            lineChars = 0;
        }
        out += QStringView(text).mid(start, end - start);
        lineChars += end - start;
        if (lf < 0) break;
        out += u'\n';
        lineChars = 0;
        start = lf + 1;
    }
    return out;
}

}  // namespace ui
