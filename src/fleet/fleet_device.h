// A device of a fleet run: the record it was chosen by, and where that record stands in the list.
#pragma once

#include <string>

#include "fleet/record_identity.h"

namespace fleet {

struct FleetDevice {
    int number = 0;           // the record number, as the list view shows it
    std::string record;       // the record line as the run loaded it
    RecordIdentity identity;  // where the record stands in the file
};

}  // namespace fleet
