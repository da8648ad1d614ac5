// Hand-offs to the desktop: a file to the application registered for its type, a URL to the
// default web browser. Neither waits for the application nor reports whether it started; the
// desktop shows its own message when it cannot open something. Both say only whether the
// desktop had a program to hand it to at all: false when the opener is missing.
#pragma once

#include <filesystem>
#include <string>

namespace platform {

class Desktop {
public:
    virtual ~Desktop() = default;
    // A native file name, as the file system knows it.
    virtual bool OpenInDefaultApp(const std::filesystem::path& file) = 0;
    // Code page 932 bytes, passed on as they stand (blanks included).
    virtual bool OpenUrl(const std::string& url) = 0;
};

}  // namespace platform
