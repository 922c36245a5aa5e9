// Process set-up for tests that construct engines, in the order the player
// uses: COM, GDI+, then the Direct2D factories. Register it once per test
// executable with ::testing::AddGlobalTestEnvironment.
#pragma once

#include <gtest/gtest.h>

namespace testing_support {

class GraphicsEnvironment : public ::testing::Environment {
public:
    void SetUp() override;
    void TearDown() override;
    // What InitDirect2D answered.
    static bool Direct2DReady();
};

}  // namespace testing_support
