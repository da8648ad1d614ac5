// The desktop port on QDesktopServices, which on Linux starts xdg-open and does not wait for it.
#pragma once

#include "platform/desktop.h"

namespace platform::qt {

class QtDesktop : public Desktop {
public:
    void OpenInDefaultApp(const std::filesystem::path& file) override;
    void OpenUrl(const std::string& url) override;
};

}  // namespace platform::qt
