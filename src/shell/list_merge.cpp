#include "shell/list_merge.h"

#include <algorithm>
#include <string>
#include <vector>

#include "devlist/fields.h"
#include "fleet/record_identity.h"

namespace shell {
namespace {

constexpr int kResultFields[] = {devlist::kMacAddress, devlist::kModelVersion, devlist::kDeviceName,
                                 devlist::kLastSend, devlist::kMessage};

}  // namespace

devlist::LineStore CarryResults(const devlist::LineStore& mine, const devlist::LineStore& base,
                                const devlist::LineStore& disk) {
    devlist::LineStore out = mine;
    // Each of the window's records, found in the file as last read, then in the file as it is
    // now, by the one identity every writer of the list uses.
    const std::vector<int> inBase = fleet::PairRecords(mine, base);
    const std::vector<int> inDisk = fleet::PairRecords(base, disk);
    for (size_t i = 0; i < out.size(); ++i) {
        const int b = inBase[i];
        const int d = b < 0 ? -1 : inDisk[static_cast<size_t>(b)];
        if (d < 0) continue;
        const std::string& was = base[static_cast<size_t>(b)];
        const std::string& now = disk[static_cast<size_t>(d)];
        if (was == now) continue;
        std::string& line = out[i];
        for (int f : kResultFields) {
            const std::string_view before = devlist::FieldView(f, was);
            const std::string_view after = devlist::FieldView(f, now);
            if (after == before || devlist::FieldView(f, line) != before) continue;
            // A short record first gets the fields up to the message.
            const auto commas = static_cast<size_t>(std::count(line.begin(), line.end(), ','));
            if (commas < static_cast<size_t>(devlist::kMessage))
                line.append(static_cast<size_t>(devlist::kMessage) - commas, ',');
            line = devlist::FieldSet(f, after, line);
        }
    }
    return out;
}

void FollowCarry(devlist::EditPanel& editor, std::string_view before, std::string_view after) {
    struct Box {
        int field;
        std::string devlist::DeviceRecord::*value;
    };
    static constexpr Box kBoxes[] = {{devlist::kMacAddress, &devlist::DeviceRecord::macAddress},
                                     {devlist::kModelVersion, &devlist::DeviceRecord::modelVersion},
                                     {devlist::kDeviceName, &devlist::DeviceRecord::deviceName},
                                     {devlist::kLastSend, &devlist::DeviceRecord::lastSend},
                                     {devlist::kMessage, &devlist::DeviceRecord::message}};
    for (const Box& box : kBoxes) {
        std::string& shown = editor.rec.*box.value;
        const std::string_view was = devlist::FieldView(box.field, before);
        const std::string_view now = devlist::FieldView(box.field, after);
        if (now != was && shown == was) shown = std::string(now);
    }
}

}  // namespace shell
