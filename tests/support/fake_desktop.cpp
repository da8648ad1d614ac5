#include "fake_desktop.h"

namespace testsupport {

bool FakeDesktop::OpenInDefaultApp(const std::filesystem::path& file) {
    files.push_back(file);
    return hasOpener;
}

bool FakeDesktop::OpenUrl(const std::string& url) {
    urls.push_back(url);
    return hasOpener;
}

}  // namespace testsupport
