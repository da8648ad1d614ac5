#include "shell/settings.h"

#include "fleet/settings_table.h"

namespace shell {

using fleet::Setting;

void readSettings(const fleet::Profile& p, SettingsBoxes& b, bool& enlarged) {
    b.passKey = fleet::ReadText(p, Setting::PassKey);
    b.workFolder = fleet::ReadText(p, Setting::WorkFolder);
    b.endWait = fleet::ReadText(p, Setting::EndWait);
    b.listFile = fleet::ReadText(p, Setting::ListFile);
    b.commonSendFile = fleet::ReadText(p, Setting::CommonSendFile);

    // An index outside its list leaves the list without a selection.
    int sortKey = fleet::ReadInteger(p, Setting::SortKey);
    b.sortKey = (sortKey >= 0 && sortKey <= 6) ? sortKey : -1;
    int sortOrder = fleet::ReadInteger(p, Setting::SortOrder);
    b.sortOrder = (sortOrder >= 0 && sortOrder <= 1) ? sortOrder : -1;
    b.sendMethod = fleet::ClampSendMethod(fleet::ReadInteger(p, Setting::SendMethod));

    b.setTime = fleet::ReadBool(p, Setting::SetTime);
    b.registerName = fleet::ReadBool(p, Setting::RegisterName);
    b.registerIp = fleet::ReadBool(p, Setting::RegisterIp);
    b.write = fleet::ReadBool(p, Setting::Write);
    b.cpuReset = fleet::ReadBool(p, Setting::CpuReset);

    // Written by hand like "debug", and kept as found: the address the LAN search takes as
    // the PC's own.
    b.ownAddress = fleet::ReadText(p, Setting::OwnAddress);
    b.history = fleet::ReadBool(p, Setting::History);
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
