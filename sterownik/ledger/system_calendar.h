#pragma once

#include "lamp_counts.h"

namespace sterownik::ledger {

// The hall's local dates in the time zone the controller runs in (TZ, or
// /etc/localtime), as `date` shows them; daylight saving's changes included.
class SystemCalendar : public Calendar {
public:
    LocalDay dayOf(WallTime at) const override;
    WallTime nextDay(WallTime at) const override;
};

// The wall clock, to the millisecond.
WallTime WallNow();

}  // namespace sterownik::ledger
