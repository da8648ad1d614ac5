// The runner's tests' list records and simulated devices: a record on a loopback range whose
// device reports the MAC address the record has.
#pragma once

#include <cstdio>
#include <string>

namespace testsupport {

// net: "127.0.N.", so that tests of real processes run side by side.
inline std::string runnerRecord(const std::string& net, int no, const std::string& name, int host,
                                int port = 2391) {
    char num[8];
    std::snprintf(num, sizeof num, "%03d", no);
    return std::string(num) + ",F0000001," + name + "," + net + std::to_string(host) + ",80," +
           std::to_string(port) + ",00:EE:80:00:00:" + std::to_string(host) +
           ",,,admin,plume,defalt.txt,,";
}

// The MAC address the device would report on 127.0.0.x, whatever its range: a send records it,
// and the save name (the dump files' names) follows it.
inline std::string withMac(const std::string& device) {
    if (device.find("mac=") != std::string::npos) return device;
    const std::string address = device.substr(0, device.find(','));
    const int host = std::stoi(address.substr(address.rfind('.') + 1));
    char mac[32];
    std::snprintf(mac, sizeof mac, ",mac=00:EE:80:00:00:%02X", host);
    return device + mac;
}

}  // namespace testsupport
