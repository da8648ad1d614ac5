// A desktop that only remembers what it was asked to open.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "platform/desktop.h"

namespace testsupport {

class FakeDesktop : public platform::Desktop {
public:
    void OpenInDefaultApp(const std::filesystem::path& file) override;
    void OpenUrl(const std::string& url) override;

    std::vector<std::filesystem::path> files;
    std::vector<std::string> urls;
};

}  // namespace testsupport
