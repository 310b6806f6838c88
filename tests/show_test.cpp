#include <gtest/gtest.h>

#include "data/buffers.h"
#include "platform/display.h"
#include "show/show.h"
#include "support/test_support.h"

using DisplayController::Ending;

TEST(Show, StartHeldAtStartUpGoesToTheMenuRightAfterStartUp) {
    auto& rec = record(true, 0);
    Show::run(nullptr);
    EXPECT_EQ(DisplayController::ending(), Ending::StoppedByStart);
    // Only init_video's sync, then the final refresh.
    ASSERT_EQ(rec.count, 2u);
    EXPECT_TRUE(rec.refreshes.back().final);
    // A START exit leaves the mappings to the process replacement.
    EXPECT_TRUE(DisplayController::is_open());
    EXPECT_EQ(Display::frame_counter(), 1u);
    EXPECT_EQ(rec.start_polls, 1u);
}
