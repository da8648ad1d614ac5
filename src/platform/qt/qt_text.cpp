#include "platform/qt/qt_text.h"

#include "text/cp932.h"

namespace platform::qt {

QString toQString(std::string_view cp932) {
    std::string utf8 = text::decode(cp932);
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

std::optional<std::string> fromQString(const QString& s) {
    QByteArray utf8 = s.toUtf8();
    return text::encode(std::string_view(utf8.constData(), static_cast<size_t>(utf8.size())));
}

}  // namespace platform::qt
