#include "app/toolbar_state.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace orvix {
namespace {

struct SelectionCase {
    const char* label;
    std::vector<int32_t> selected_items;
    bool undo_kept;
    bool many;
    bool crop;
};

class ToolbarStateTest : public ::testing::TestWithParam<SelectionCase> {};

TEST_P(ToolbarStateTest, FollowsTheNumberOfSelectedItems) {
    const SelectionCase& c = GetParam();
    const ToolbarState state = toolbar_state(c.selected_items, c.undo_kept);
    EXPECT_EQ(state.many, c.many);
    EXPECT_EQ(state.crop, c.crop);
    EXPECT_EQ(state.undo, c.undo_kept) << "undo follows what is kept, not the selection";
}

INSTANTIATE_TEST_SUITE_P(
    Selections, ToolbarStateTest,
    ::testing::Values(SelectionCase{"nothing", {}, false, false, false},
                      SelectionCase{"one", {3}, false, true, true},
                      SelectionCase{"one_of_many_digits", {1024}, false, true, true},
                      SelectionCase{"two", {1, 2}, false, true, false},
                      SelectionCase{"several", {2, 5, 7, 9}, false, true, false},
                      SelectionCase{"nothing_with_undo", {}, true, false, false},
                      SelectionCase{"two_with_undo", {1, 2}, true, true, false}),
    [](const ::testing::TestParamInfo<SelectionCase>& info) {
        return std::string(info.param.label);
    });

} // namespace
} // namespace orvix
