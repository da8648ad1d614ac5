#include "app/options.h"

#include <array>
#include <string_view>

#include "discovery/search_request.h"

namespace app {
namespace {

// Qt's own options that the program passes on: those that take a value, and plain flags.
constexpr std::array<std::string_view, 9> kQtValueOptions = {
    "-platform",   "-platformpluginpath", "-platformtheme",   "-display",     "-style",
    "-stylesheet", "-geometry",           "-qwindowgeometry", "-qwindowtitle"};
constexpr std::array<std::string_view, 4> kQtFlags = {"-reverse", "-nograb", "-dograb", "-sync"};

template <size_t N>
bool listed(const std::array<std::string_view, N>& names, std::string_view arg) {
    for (std::string_view n : names) {
        if (arg == n) return true;
    }
    return false;
}

}  // namespace

bool IsDottedIpv4(const std::string& text) {
    return discovery::IsDottedIpv4(text);
}

Options ParseOptions(int argc, char** argv) {
    Options o;
    constexpr std::string_view kOwn = "--own-address";
    for (int i = 1; i < argc; ++i) {
        std::string_view arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            o.help = true;
        } else if (arg == "--version") {
            o.version = true;
        } else if (arg == kOwn || arg.substr(0, kOwn.size() + 1) == "--own-address=") {
            std::string value;
            if (arg == kOwn) {
                if (i + 1 >= argc) {
                    o.error = "--own-address needs an address such as 127.0.0.1";
                    return o;
                }
                value = argv[++i];
            } else {
                value = std::string(arg.substr(kOwn.size() + 1));
            }
            if (!IsDottedIpv4(value)) {
                o.error = "--own-address takes a dotted IPv4 address, not \"" + value + "\"";
                return o;
            }
            o.ownAddress = value;
        } else if (listed(kQtValueOptions, arg)) {
            if (i + 1 >= argc) {
                o.error = std::string(arg) + " needs a value";
                return o;
            }
            if (arg == "-platform") o.platform = argv[i + 1];
            ++i;
        } else if (!listed(kQtFlags, arg)) {
            o.error = (arg.substr(0, 1) == "-" ? "unknown option " : "unexpected argument ") +
                      std::string(arg);
            return o;
        }
    }
    return o;
}

}  // namespace app
