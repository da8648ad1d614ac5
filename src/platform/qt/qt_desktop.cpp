#include "platform/qt/qt_desktop.h"

#include <QDesktopServices>
#include <QUrl>

#include "platform/qt/qt_text.h"

namespace platform::qt {

void QtDesktop::OpenInDefaultApp(const std::filesystem::path& file) {
    // The native name goes through as it is; a round trip through code page 932 would lose
    // names it cannot hold.
    QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(file.native())));
}

void QtDesktop::OpenUrl(const std::string& url) {
    // Tolerant parsing keeps a URL with blanks or an empty port usable, as the record has it.
    QDesktopServices::openUrl(QUrl(toQString(url), QUrl::TolerantMode));
}

}  // namespace platform::qt
