// The desktop port on QDesktopServices, which on Linux starts xdg-open and does not wait for it.
// The opener is missing when Qt found nothing to start and xdg-open is not on the path.
#pragma once

#include "platform/desktop.h"

namespace platform::qt {

class QtDesktop : public Desktop {
public:
    bool OpenInDefaultApp(const std::filesystem::path& file) override;
    bool OpenUrl(const std::string& url) override;
};

}  // namespace platform::qt
