#include "devlist/record_details.h"

#include "devlist/fields.h"

namespace devlist {

std::string RecordDetails(std::string_view line) {
    auto f = [line](int n) { return std::string(FieldView(n, line)); };
    return "No." + f(kNo) + "  " + f(kListName) + "\n" +                 //
           "IP address: " + f(kIpAddress) + "  HTTP: " + f(kHttpPort) +  //
           "  TELNET: " + f(kTelnetPort) + "\n" +                        //
           "MAC: " + f(kMacAddress) + "\n" +                             //
           "Model: " + f(kModelVersion) + "\n" +                         //
           "Time: " + f(kLastSend) + "\n" +                              //
           "Message: " + f(kMessage);
}

}  // namespace devlist
