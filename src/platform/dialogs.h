// Modal boxes and choosers. Every text passed in or returned is code page 932 bytes, as the
// program holds it; the adapter converts for showing. A modal box keeps the event loop running.
#pragma once

#include <optional>
#include <string>

namespace platform {

struct FileChoice {
    std::string title;      // empty: the platform's own
    std::string filter;     // a pattern such as "*.csv"; empty: every file
    std::string directory;  // where the chooser starts
    std::string fileName;   // the name proposed
};

class Dialogs {
public:
    virtual ~Dialogs() = default;
    virtual void warning(const std::string& text) = 0;      // OK
    virtual void information(const std::string& text) = 0;  // OK
    virtual void error(const std::string& text) = 0;        // OK
    // OK / Cancel; closing the box counts as Cancel. True for OK.
    virtual bool confirm(const std::string& text) = 0;
    // Yes / No; closing the box counts as No. True for Yes.
    virtual bool askYesNo(const std::string& text) = 0;
    // A one-line input box; nullopt when cancelled.
    virtual std::optional<std::string> inputText(const std::string& caption,
                                                 const std::string& prompt,
                                                 const std::string& initial) = 0;
    // File choosers; the chosen path, or nullopt when cancelled.
    virtual std::optional<std::string> openFile(const FileChoice& choice) = 0;
    virtual std::optional<std::string> saveFile(const FileChoice& choice) = 0;
};

}  // namespace platform
