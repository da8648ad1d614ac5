// Feeds arbitrary bytes to the settings file reader as if they were a hand-edited file, then
// does what start-up and the close do with it. Written keys must read back as written.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "fleet/profile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    fleet::Profile p = fleet::Profile::fromBytes(bytes);

    (void)p.readString("setting", "data1", "7391");
    (void)p.readString("setting", "debug");
    (void)p.readInteger("setting", "sort1", 0);
    (void)p.readInteger("setting", "fselect", 0);
    (void)p.readBool("setting", "chk2", true);

    // The input's first line also serves as a value, so odd bytes reach the writer too.
    std::string_view value = bytes.substr(0, bytes.find_first_of("\r\n"));
    p.writeString("setting", "folder1", value);
    p.writeInteger("setting", "sort1", static_cast<int>(size) - 1);
    p.writeBool("setting", "chk2", size % 2 == 0);
    p.writeString("Setting", "listcsv", "list.csv");

    if (p.readInteger("setting", "sort1", 0) != static_cast<int>(size) - 1) std::abort();
    if (p.readBool("setting", "chk2", size % 2 != 0) != (size % 2 == 0)) std::abort();
    if (p.readString("setting", "listcsv") != "list.csv") std::abort();

    std::string out = p.toBytes();
    if (fleet::Profile::fromBytes(out).toBytes() != out) std::abort();
    return 0;
}
