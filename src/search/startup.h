// Start-up: every precomputed table, built once in a fixed order before any command is read.
#pragma once

void initEngine();
