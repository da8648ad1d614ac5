// Which devices of a run may be served at the same time. Records that share a save name name the
// same files in the work folder: they are served one after the other, never at the same time, in
// the run's order, and a device whose files another device being served is writing waits for it.
//
// A record without a save name and a MAC address is named by its device's answer
// (session::SaveNames): until then its files are keyed by its unique name, so such records run
// side by side, each claiming the name its device gives when it learns it.
#pragma once

#include <cstddef>
#include <string>
#include <unordered_map>
#include <vector>

#include "fleet/fleet_device.h"

namespace fleet {

class FileClaims {
public:
    static constexpr size_t npos = static_cast<size_t>(-1);

    explicit FileClaims(const std::vector<FleetDevice>& devices);

    // Devices not yet taken.
    size_t left() const { return m_left; }
    // Takes the first device not yet taken whose files no device being served is writing;
    // npos when there is none (all taken, or the rest wait for a device being served).
    size_t take();
    // The device's session is writing its files from now on, or no longer.
    void serve(size_t index);
    void release(size_t index);
    // A session learnt its save name from its device: its files are the device's from now on,
    // unless another device being served is writing them.
    bool claim(size_t index, const std::string& saveName);
    // The name a device's files take when neither its record nor its device names one.
    const std::string& uniqueName(size_t index) const { return m_uniqueNames[index]; }

private:
    // Per device: the name of a file its session writes under its save name, which tells the
    // records that share their files; whether it has been taken; whether it is being served.
    std::vector<std::string> m_keys;
    std::vector<std::string> m_uniqueNames;
    std::vector<bool> m_taken;
    std::vector<bool> m_serving;
    // How many devices being served write under each key; a key none writes has no entry.
    std::unordered_map<std::string, int> m_busy;
    size_t m_next = 0;  // no device before it is left to take
    size_t m_left = 0;
};

}  // namespace fleet
