#include "shell/settings.h"

#include "fleet/run_settings.h"
#include "fleet/settings_table.h"

namespace shell {

using fleet::Setting;

void readSettings(const fleet::Profile& p, SettingsBoxes& b, bool& enlarged) {
    // What a run reads, "ownip" among it, by the runner's reader: one set of rules for both.
    static_cast<fleet::RunSettings&>(b) = fleet::ReadRunSettings(p);
    b.passKey = fleet::ReadText(p, Setting::PassKey);
    b.workFolder = fleet::ReadText(p, Setting::WorkFolder);

    // An index outside its list leaves the list without a selection.
    int sortKey = fleet::ReadInteger(p, Setting::SortKey);
    b.sortKey = (sortKey >= 0 && sortKey <= 6) ? sortKey : -1;
    int sortOrder = fleet::ReadInteger(p, Setting::SortOrder);
    b.sortOrder = (sortOrder >= 0 && sortOrder <= 1) ? sortOrder : -1;
    enlarged = fleet::ReadText(p, Setting::Debug) == kHiddenModeCode;
}

void writeSettings(fleet::Profile& p, const SettingsBoxes& b) {
    // The table's order is the file's.
    for (const auto& k : fleet::kSettingKeys) {
        switch (k.setting) {
            case Setting::PassKey:
                fleet::WriteText(p, k.setting, b.passKey);
                break;
            case Setting::WorkFolder:
                fleet::WriteText(p, k.setting, b.workFolder);
                break;
            case Setting::EndWait:
                fleet::WriteText(p, k.setting, b.endWait);
                break;
            case Setting::ListFile:
                fleet::WriteText(p, k.setting, b.listFile);
                break;
            case Setting::CommonSendFile:
                fleet::WriteText(p, k.setting, b.commonSendFile);
                break;
            case Setting::SortKey:
                fleet::WriteInteger(p, k.setting, b.sortKey);
                break;
            case Setting::SortOrder:
                fleet::WriteInteger(p, k.setting, b.sortOrder);
                break;
            case Setting::SendMethod:
                fleet::WriteInteger(p, k.setting, b.sendMethod);
                break;
            case Setting::SetTime:
                fleet::WriteBool(p, k.setting, b.setTime);
                break;
            case Setting::RegisterName:
                fleet::WriteBool(p, k.setting, b.registerName);
                break;
            case Setting::RegisterIp:
                fleet::WriteBool(p, k.setting, b.registerIp);
                break;
            case Setting::Write:
                fleet::WriteBool(p, k.setting, b.write);
                break;
            case Setting::CpuReset:
                fleet::WriteBool(p, k.setting, b.cpuReset);
                break;
            case Setting::Debug:
            case Setting::OwnAddress:
            case Setting::Pace:
            case Setting::History:
                break;  // put in by hand, kept as found
        }
    }
}

}  // namespace shell
