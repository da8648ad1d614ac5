#include "shell/settings.h"

namespace shell {

void readSettings(const Profile& p, SettingsBoxes& b, bool& enlarged) {
    b.passKey = p.readString(kSection, "data1", "7391");
    b.workFolder = p.readString(kSection, "folder1", "");
    b.endWait = p.readString(kSection, "wait1", "2");
    b.listFile = p.readString(kSection, "listcsv", "list.csv");
    b.commonSendFile = p.readString(kSection, "file2", "");

    // An index outside its list leaves the list without a selection.
    int sortKey = p.readInteger(kSection, "sort1", 0);
    b.sortKey = (sortKey >= 0 && sortKey <= 6) ? sortKey : -1;
    int sortOrder = p.readInteger(kSection, "sort2", 0);
    b.sortOrder = (sortOrder >= 0 && sortOrder <= 1) ? sortOrder : -1;
    int method = p.readInteger(kSection, "fselect", 0);
    b.sendMethod = method < -1 ? -1 : (method > 1 ? 1 : method);

    b.setTime = p.readBool(kSection, "chk2", true);
    b.registerName = p.readBool(kSection, "chk3", false);
    b.registerIp = p.readBool(kSection, "chk4", false);
    b.write = p.readBool(kSection, "chk6", true);
    b.cpuReset = p.readBool(kSection, "chk7", false);

    // Written by hand like "debug", and kept as found: the address the LAN search takes as
    // the PC's own.
    b.ownAddress = p.readString(kSection, "ownip", "");
    enlarged = p.readString(kSection, "debug", "") == kHiddenModeCode;
}

void writeSettings(Profile& p, const SettingsBoxes& b) {
    p.writeString(kSection, "data1", b.passKey);
    p.writeString(kSection, "folder1", b.workFolder);
    p.writeString(kSection, "wait1", b.endWait);
    p.writeString(kSection, "listcsv", b.listFile);
    p.writeString(kSection, "file2", b.commonSendFile);
    p.writeInteger(kSection, "sort1", b.sortKey);
    p.writeInteger(kSection, "sort2", b.sortOrder);
    p.writeInteger(kSection, "fselect", b.sendMethod);
    p.writeBool(kSection, "chk2", b.setTime);
    p.writeBool(kSection, "chk3", b.registerName);
    p.writeBool(kSection, "chk4", b.registerIp);
    p.writeBool(kSection, "chk6", b.write);
    p.writeBool(kSection, "chk7", b.cpuReset);
}

}  // namespace shell
