// Shared test helpers: the engine's tables are built once per test program, and a child
// process helper drives the built engine through real pipes.
#pragma once

#include "support/child_process.h"
