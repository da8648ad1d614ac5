#include "platform/qt/qt_desktop.h"

#include <QDesktopServices>
#include <QStandardPaths>
#include <QUrl>
#include <system_error>

#include "platform/qt/qt_text.h"

namespace platform::qt {
namespace {

bool handOver(const QUrl& url) {
    if (QDesktopServices::openUrl(url)) return true;
    // Qt also fails for what the opener itself would refuse; only a missing opener is reported.
    return !QStandardPaths::findExecutable(QStringLiteral("xdg-open")).isEmpty();
}

}  // namespace

bool QtDesktop::OpenInDefaultApp(const std::filesystem::path& file) {
    // A relative name means the file in the program's current folder; as a URL it would read
    // "file:name", which the opener takes for something else.
    std::filesystem::path path = file;
    if (path.is_relative()) {
        std::error_code ec;
        std::filesystem::path absolute = std::filesystem::absolute(path, ec);
        if (!ec) path = absolute;
    }
    // The native name goes through as it is; a round trip through code page 932 would lose
    // names it cannot hold.
    return handOver(QUrl::fromLocalFile(QString::fromStdString(path.native())));
}

bool QtDesktop::OpenUrl(const std::string& url) {
    // Tolerant parsing keeps a URL with blanks or an empty port usable, as the record has it.
    return handOver(QUrl(toQString(url), QUrl::TolerantMode));
}

}  // namespace platform::qt
