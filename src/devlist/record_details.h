// The whole of a record as a row's tooltip shows it: the list's fixed columns cut long names,
// models and messages, and leave the ports and the MAC address out.
#pragma once

#include <string>
#include <string_view>

namespace devlist {

// Lines separated by "\n", code page 932 as the record holds it: number and name, address and
// ports, MAC address, model and version, time of the last run, its whole message. The login
// (user id and password) is never part of it.
std::string RecordDetails(std::string_view line);

}  // namespace devlist
