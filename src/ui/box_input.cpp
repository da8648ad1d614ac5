#include "ui/box_input.h"

#include "platform/qt/qt_text.h"

namespace ui {

using platform::qt::fromQString;
using platform::qt::toQString;

BoxInput checkBoxInput(const QString& typed, size_t byteLimit, bool commaAllowed) {
    for (QChar c : typed) {
        if (c == u'\r' || c == u'\n') {
            return {std::nullopt, commaAllowed ? BoxRefusal::LineBreak : BoxRefusal::Separator};
        }
        if (c == u',' && !commaAllowed) return {std::nullopt, BoxRefusal::Separator};
    }
    auto bytes = fromQString(typed);
    if (!bytes) return {std::nullopt, BoxRefusal::Unencodable};
    if (byteLimit != 0 && bytes->size() > byteLimit) return {std::nullopt, BoxRefusal::TooLong};
    return {std::move(bytes), BoxRefusal::None};
}

BoxInput checkAreaInput(const QString& typed) {
    QString withCrLf = typed;
    withCrLf.replace(u'\n', QStringLiteral("\r\n"));
    auto bytes = fromQString(withCrLf);
    if (!bytes) return {std::nullopt, BoxRefusal::Unencodable};
    return {std::move(bytes), BoxRefusal::None};
}

QString refusalHint(BoxRefusal refusal, size_t byteLimit) {
    switch (refusal) {
        case BoxRefusal::Unencodable:
            return platform::qt::ui("Shift-JIS で表せない文字は入力できません");
        case BoxRefusal::Separator:
            return platform::qt::ui("カンマ・改行は入力できません");
        case BoxRefusal::LineBreak:
            return platform::qt::ui("改行は入力できません");
        case BoxRefusal::TooLong:
            return platform::qt::ui("%1 バイトを超えて入力できません").arg(byteLimit);
        case BoxRefusal::None:
            break;
    }
    return {};
}

QString lineForDisplay(const std::string& cp932) {
    QString s = toQString(cp932);
    for (QChar& c : s) {
        if (c == u'\r' || c == u'\n') c = u' ';
    }
    return s;
}

}  // namespace ui
