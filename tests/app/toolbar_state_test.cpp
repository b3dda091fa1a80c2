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
    bool many;
    bool crop;
};

class ToolbarStateTest : public ::testing::TestWithParam<SelectionCase> {};

TEST_P(ToolbarStateTest, FollowsTheNumberOfSelectedItems) {
    const SelectionCase& c = GetParam();
    const ToolbarState state = toolbar_state(c.selected_items);
    EXPECT_EQ(state.many, c.many);
    EXPECT_EQ(state.crop, c.crop);
}

INSTANTIATE_TEST_SUITE_P(Selections, ToolbarStateTest,
                         ::testing::Values(SelectionCase{"nothing", {}, false, false},
                                           SelectionCase{"one", {3}, true, true},
                                           SelectionCase{"one_of_many_digits", {1024}, true, true},
                                           SelectionCase{"two", {1, 2}, true, false},
                                           SelectionCase{"several", {2, 5, 7, 9}, true, false}),
                         [](const ::testing::TestParamInfo<SelectionCase>& info) {
                             return std::string(info.param.label);
                         });

} // namespace
} // namespace orvix
