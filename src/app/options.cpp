#include "app/options.h"

#include <cstring>

#include "discovery/search_request.h"

namespace app {

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
        } else if (arg.substr(0, 2) == "--") {
            o.error = "unknown option " + std::string(arg);
            return o;
        }
    }
    return o;
}

}  // namespace app
