// The record editor: the working copy of one record in text boxes.
#pragma once

#include <string>
#include <string_view>

#include "devlist/device_record.h"
#include "devlist/line_store.h"

namespace devlist {

struct EditPanel {
    std::string numberLabel;  // the number without leading zeros; empty at start
    DeviceRecord rec;         // rec.flags is the read-only flags label; rec.no is unused
    std::string saveName;     // the "保存名称" box
    bool group[3] = {false, false, false};
};

// Loads record line `line` (0-based) of listStore; the number label shows its position line+1,
// under which "設定保存" stores it back. No such line: empty fields.
void EditData(EditPanel& panel, int line, const LineStore& listStore);

// The record defaults; the number label, the group boxes and the save name are kept.
void DefaltData(EditPanel& panel);

// The line EditSaveNo stores for 1-based number: ZeroPad(number, 3) and the 13 fields from the
// boxes. When the line it replaces has a 15th field, that field (and anything after it) is kept.
std::string RecordLineFromPanel(long long number, const EditPanel& panel,
                                std::string_view replacedLine = {});

// The flags label after "設定保存": bytes 1..4, the three group boxes, byte 8.
std::string FlagsFromGroupBoxes(std::string_view flags, const bool group[3]);

}  // namespace devlist
