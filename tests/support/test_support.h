// Shared test helpers.
#pragma once
