#include "session/result_record.h"

#include <algorithm>

#include "text/cp932.h"

namespace session {

std::string RecordValue(std::string_view text, size_t maxBytes) {
    std::string out;
    out.reserve(std::min(text.size(), maxBytes));
    for (size_t i = 0; i < text.size();) {
        auto b = static_cast<unsigned char>(text[i]);
        if (text::isLeadByte(b) && i + 1 < text.size() &&
            text::isTrailByte(static_cast<unsigned char>(text[i + 1]))) {
            if (out.size() + 2 > maxBytes) break;
            out.append(text.substr(i, 2));
            i += 2;
            continue;
        }
        if (out.size() + 1 > maxBytes) break;
        bool blank = b < 0x20 || b == 0x7f || b == ',' || text::isLeadByte(b);
        out += blank ? ' ' : static_cast<char>(b);
        ++i;
    }
    return out;
}

std::string ReplyValue(std::string_view chunk, size_t skip, size_t closing) {
    size_t cr = chunk.find('\r');
    if (cr == std::string_view::npos || cr < skip + closing + 1) return {};
    return std::string(chunk.substr(skip, cr - skip - closing));
}

std::string TextHead(std::string_view text, size_t maxBytes) {
    if (text.size() <= maxBytes) return std::string(text);
    size_t end = 0;
    while (end < maxBytes) {
        size_t next = end + (text::isLeadByte(static_cast<unsigned char>(text[end])) ? 2 : 1);
        if (next > maxBytes) break;
        end = next;
    }
    return std::string(text.substr(0, end));
}

}  // namespace session
