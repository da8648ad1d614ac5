// Record lines for the device-list tests, built field by field so that each test names only
// the fields it is about.
#pragma once

#include <string>

#include "devlist/device_record.h"
#include "devlist/fields.h"
#include "devlist/line_store.h"

// Tests name only the fields they are about in designated initializers; the others keep
// their defaults on purpose.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace devlist::testing {

struct Rec {
    int no = 1;
    std::string flags{"F0000000"};
    std::string name{"no name"};
    std::string ip{"0.0.0.0"};
    std::string file{"defalt.txt"};
    std::string model;
    std::string time;
    std::string message;

    std::string line() const {
        DeviceRecord r;
        r.no = ZeroPad(no, 3);
        r.flags = flags;
        r.listName = name;
        r.ipAddress = ip;
        r.sendFile = file;
        r.modelVersion = model;
        r.lastSend = time;
        r.message = message;
        return r.toLine();
    }
};

// n default records numbered 1..n, named "d1".."dn".
inline LineStore numberedStore(int n) {
    LineStore s;
    for (int i = 1; i <= n; ++i) {
        Rec r{.no = i, .name = "d"};
        r.name += std::to_string(i);
        s.lines().push_back(r.line());
    }
    return s;
}

}  // namespace devlist::testing
