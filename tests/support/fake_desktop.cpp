#include "fake_desktop.h"

namespace testsupport {

void FakeDesktop::OpenInDefaultApp(const std::filesystem::path& file) {
    files.push_back(file);
}

void FakeDesktop::OpenUrl(const std::string& url) {
    urls.push_back(url);
}

}  // namespace testsupport
