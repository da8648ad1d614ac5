#include "fleet/settings_table.h"

#include <stdexcept>

namespace fleet {
namespace {

const SettingKey& checked(Setting setting, SettingType type, bool writing) {
    const SettingKey& k = KeyOf(setting);
    if (k.type != type) throw std::logic_error("settings key of another type");
    if (writing && !k.written) throw std::logic_error("settings key the program never writes");
    return k;
}

}  // namespace

std::string ReadText(const Profile& p, Setting s) {
    const SettingKey& k = checked(s, SettingType::Text, false);
    return p.readString(kSettingsSection, k.key, k.text);
}

int ReadInteger(const Profile& p, Setting s) {
    const SettingKey& k = checked(s, SettingType::Integer, false);
    return p.readInteger(kSettingsSection, k.key, k.number);
}

bool ReadBool(const Profile& p, Setting s) {
    const SettingKey& k = checked(s, SettingType::Bool, false);
    return p.readBool(kSettingsSection, k.key, k.number != 0);
}

void WriteText(Profile& p, Setting s, std::string_view value) {
    p.writeString(kSettingsSection, checked(s, SettingType::Text, true).key, value);
}

void WriteInteger(Profile& p, Setting s, int value) {
    p.writeInteger(kSettingsSection, checked(s, SettingType::Integer, true).key, value);
}

void WriteBool(Profile& p, Setting s, bool value) {
    p.writeBool(kSettingsSection, checked(s, SettingType::Bool, true).key, value);
}

int ClampSendMethod(int method) {
    return method < -1 ? -1 : (method > 1 ? 1 : method);
}

}  // namespace fleet
