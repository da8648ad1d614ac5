// A clock that says what the test set.
#pragma once

#include "platform/clock.h"

namespace testsupport {

class FakeClock : public platform::Clock {
public:
    platform::LocalTime now() override { return time; }
    platform::LocalTime time{2026, 12, 7, 9, 5, 3};
};

}  // namespace testsupport
