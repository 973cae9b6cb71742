#include <gtest/gtest.h>

#include "search/startup.h"

namespace {
// Every test program builds the engine's tables once, as the engine does at start-up.
class EngineTables : public ::testing::Environment {
   public:
    void SetUp() override { initEngine(); }
};
const auto* const registered = ::testing::AddGlobalTestEnvironment(new EngineTables);
}  // namespace
