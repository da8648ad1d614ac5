// The runner's messages in the operator's language. Every text the runner prints is written here
// in English and looked up in the catalogue "qlx-setting-cli" (gettext), so the locale chooses
// the language as for any other program on the system; under C or an unknown language the
// English text stands. What scripts read (exit codes, report fields, JSON keys) never passes
// through it.
#pragma once

#include <string>
#include <vector>

namespace runner {

inline constexpr const char* kCatalogue = "qlx-setting-cli";

// Takes the locale from the environment and finds the catalogue beside the program
// (<program folder>/../share/locale), which holds both for the build tree and the installed
// package. QLX_LOCALEDIR, when set, names another folder.
void OpenCatalogue();

// The text for english in the operator's language, UTF-8.
std::string Tr(const char* english);

// Marks a message pattern that is translated where it is printed.
constexpr const char* N_(const char* english) {
    return english;
}

// pattern with %1, %2 … replaced by the arguments in turn; a translation may reorder them.
std::string Fill(const std::string& pattern, const std::vector<std::string>& args);

}  // namespace runner
