#include "app/options.h"

#include <charconv>
#include <cstring>

namespace app {

bool IsDottedIpv4(const std::string& text) {
    const char* p = text.data();
    const char* end = p + text.size();
    for (int part = 0; part < 4; ++part) {
        if (part > 0) {
            if (p == end || *p != '.') return false;
            ++p;
        }
        const char* start = p;
        while (p != end && *p >= '0' && *p <= '9') ++p;
        if (p == start || p - start > 3) return false;
        int value = 0;
        std::from_chars(start, p, value);
        if (value > 255) return false;
    }
    return p == end;
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
