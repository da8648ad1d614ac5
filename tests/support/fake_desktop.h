// A desktop that only remembers what it was asked to open.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "platform/desktop.h"

namespace testsupport {

class FakeDesktop : public platform::Desktop {
public:
    bool OpenInDefaultApp(const std::filesystem::path& file) override;
    bool OpenUrl(const std::string& url) override;

    std::vector<std::filesystem::path> files;
    std::vector<std::string> urls;
    bool hasOpener = true;  // false: a desktop without its opener program
};

}  // namespace testsupport
