// The recovery point of a running search: checkTime jumps back to it to end the search.
#pragma once

#include <csetjmp>

extern std::jmp_buf AbortPoint;
// True only while SearchDriver's recovery point is live; outside a search checkTime
// reports an abort by its return value instead of jumping.
extern bool AbortArmed;
