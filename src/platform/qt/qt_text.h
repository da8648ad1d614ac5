// The one place where code page 932 bytes meet QString.
#pragma once

#include <QString>
#include <optional>
#include <string>
#include <string_view>

namespace platform::qt {

QString toQString(std::string_view cp932);
// nullopt when a character cannot be written in code page 932.
std::optional<std::string> fromQString(const QString& s);
// The program's own fixed texts.
inline QString ui(const char* utf8) {
    return QString::fromUtf8(utf8);
}

}  // namespace platform::qt
