// The grid's keyboard: the current item, the anchor of Shift ranges, the page steps and
// the events a key raises, on the model without a display.
#include "controls/thumbgrid/glimra_model.h"

#include "model_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

namespace orvix {
namespace {

using test::GridTest;
using test::lines;

constexpr int16_t kShift = kShiftMask, kCtrl = kCtrlMask;

struct Key {
    int16_t code;
    int16_t shift = 0;
};

// Ten items three a row: 1 2 3 / 4 5 6 / 7 8 9 / 10, two rows to a page.
struct KeyCase {
    const char* name;
    int16_t mode;
    std::vector<std::pair<int, int16_t>> clicks; // item and modifiers, before the keys
    std::vector<Key> keys;
    const char* selected;
    int32_t current;
};

void PrintTo(const KeyCase& c, std::ostream* os) {
    *os << c.name;
}

class KeysMove : public GridTest, public testing::WithParamInterface<KeyCase> {};

TEST_P(KeysMove, TheCurrentItemAndTheSelection) {
    const KeyCase& c = GetParam();
    load_all();
    m_model.properties().SelectionMode = c.mode;
    for (const auto& [item, shift] : c.clicks)
        click(item, shift);
    for (const Key& key : c.keys)
        EXPECT_TRUE(m_model.key_down(key.code, key.shift)) << key.code;
    EXPECT_EQ(m_model.SelectedItems(), c.selected);
    EXPECT_EQ(m_model.current(), c.current);
}

INSTANTIATE_TEST_SUITE_P(
    Keys, KeysMove,
    testing::Values(
        KeyCase{"RightSelectsTheNext", 2, {{2, 0}}, {{kKeyRight}}, "3", 3},
        KeyCase{"LeftSelectsThePrevious", 2, {{2, 0}}, {{kKeyLeft}}, "1", 1},
        KeyCase{"LeftStopsAtTheFirst", 2, {{1, 0}}, {{kKeyLeft}}, "1", 1},
        KeyCase{"RightStopsAtTheLast", 2, {{10, 0}}, {{kKeyRight}}, "10", 10},
        KeyCase{"RightGoesOnToTheNextRow", 2, {{3, 0}}, {{kKeyRight}}, "4", 4},
        KeyCase{"DownGoesARowDown", 2, {{2, 0}}, {{kKeyDown}}, "5", 5},
        KeyCase{"UpGoesARowUp", 2, {{5, 0}}, {{kKeyUp}}, "2", 2},
        KeyCase{"UpOnTheFirstRowStays", 2, {{2, 0}}, {{kKeyUp}}, "2", 2},
        KeyCase{"DownIntoAShortLastRowTakesItsLast", 2, {{8, 0}}, {{kKeyDown}}, "10", 10},
        KeyCase{"DownOnTheLastRowStays", 2, {{10, 0}}, {{kKeyDown}}, "10", 10},
        KeyCase{"HomeGoesToTheFirst", 2, {{8, 0}}, {{kKeyHome}}, "1", 1},
        KeyCase{"EndGoesToTheLast", 2, {{2, 0}}, {{kKeyEnd}}, "10", 10},
        KeyCase{"PageDownGoesAPageOfRows", 2, {{2, 0}}, {{kKeyPageDown}}, "8", 8},
        KeyCase{"PageDownStopsAtTheLast", 2, {{8, 0}}, {{kKeyPageDown}}, "10", 10},
        KeyCase{"PageUpGoesAPageOfRows", 2, {{9, 0}}, {{kKeyPageUp}}, "3", 3},
        KeyCase{"PageUpStopsAtTheFirst", 2, {{5, 0}}, {{kKeyPageUp}}, "1", 1},
        KeyCase{"WithoutACurrentItemAnArrowTakesTheFirst", 2, {}, {{kKeyRight}}, "1", 1},
        KeyCase{"WithoutACurrentItemEndTakesTheLast", 2, {}, {{kKeyEnd}}, "10", 10},
        KeyCase{"ShiftExtendsFromTheAnchor",
                2,
                {{2, 0}},
                {{kKeyRight, kShift}, {kKeyRight, kShift}},
                "2,3,4",
                4},
        KeyCase{"ShiftBackGivesUpWhatTheRangeTook",
                2,
                {{2, 0}},
                {{kKeyRight, kShift}, {kKeyRight, kShift}, {kKeyLeft, kShift}},
                "2,3",
                3},
        KeyCase{"ShiftAcrossTheAnchor",
                2,
                {{5, 0}},
                {{kKeyLeft, kShift}, {kKeyRight, kShift}, {kKeyRight, kShift}},
                "5,6",
                6},
        KeyCase{"ShiftDownTakesTheItemsBetween", 2, {{2, 0}}, {{kKeyDown, kShift}}, "2,3,4,5", 5},
        KeyCase{"ShiftEndTakesTheRest", 2, {{8, 0}}, {{kKeyEnd, kShift}}, "8,9,10", 10},
        KeyCase{"ShiftKeepsWhatCtrlClicksSelected",
                2,
                {{1, 0}, {5, kCtrl}},
                {{kKeyRight, kShift}},
                "1,5,6",
                6},
        KeyCase{"ShiftAnchorsOnTheLastClickNotTheHighestSelected",
                2,
                {{7, 0}, {2, kCtrl}},
                {{kKeyRight, kShift}},
                "2,3,7",
                3},
        KeyCase{"AShiftClickLeavesTheAnchorWhereItWas",
                2,
                {{3, 0}, {6, kShift}},
                {{kKeyRight, kShift}},
                "3,4,5,6,7",
                7},
        KeyCase{"CtrlAndShiftExtendsAsShift", 2, {{2, 0}}, {{kKeyRight, kShift | kCtrl}}, "2,3", 3},
        KeyCase{"CtrlMovesWithoutSelecting",
                2,
                {{2, 0}},
                {{kKeyRight, kCtrl}, {kKeyRight, kCtrl}},
                "2",
                4},
        KeyCase{"SpaceAddsTheItemMovedTo",
                2,
                {{2, 0}},
                {{kKeyRight, kCtrl}, {kKeyRight, kCtrl}, {kKeySpace}},
                "2,4",
                4},
        KeyCase{"SpaceTogglesTheCurrentOff", 2, {{2, 0}}, {{kKeySpace}}, "", 2},
        KeyCase{"ShiftAfterACtrlMoveStartsThere",
                2,
                {{2, 0}},
                {{kKeyRight, kCtrl}, {kKeyRight, kShift}},
                "2,3,4",
                4},
        KeyCase{"CtrlASelectsEveryItem", 2, {{2, 0}}, {{kKeyA, kCtrl}}, "1,2,3,4,5,6,7,8,9,10", 2},
        KeyCase{"EscapeClears", 2, {{2, 0}, {5, kCtrl}}, {{kKeyEscape}}, "", 5},
        KeyCase{"SingleModeShiftSelectsOnlyTheCurrent", 1, {{2, 0}}, {{kKeyRight, kShift}}, "3", 3},
        KeyCase{"SingleModeSpaceSelectsTheCurrentAlone",
                1,
                {{2, 0}},
                {{kKeyRight, kCtrl}, {kKeySpace}},
                "3",
                3},
        KeyCase{"SingleModeCtrlASelectsNothingMore", 1, {{2, 0}}, {{kKeyA, kCtrl}}, "2", 2},
        KeyCase{"OtherModesMoveButSelectNothing", 0, {{2, 0}}, {{kKeyRight}, {kKeySpace}}, "", 3}),
    [](const testing::TestParamInfo<KeyCase>& info) { return info.param.name; });

TEST_F(GridTest, TheRowsAndThePageComeFromTheCells) {
    load_all();
    EXPECT_EQ(m_model.columns(), 3);
    EXPECT_EQ(m_model.rows_per_page(), 2) << "3000 twips hold two rows of 1350";
    m_model.set_area(3000, 6000);
    m_model.Redraw(false);
    EXPECT_EQ(m_model.columns(), 2);
    EXPECT_EQ(m_model.rows_per_page(), 4);
}

TEST_F(GridTest, AKeyRaisesSelectionChangeOnlyWhenTheSelectionChanged) {
    load_all();
    m_model.properties().SelectionMode = 2;
    click(2);
    m_host.clear();
    m_model.key_down(kKeyRight, 0);
    EXPECT_EQ(m_host.events, (std::vector<std::string>{"SelectionChange"}));
    m_host.clear();
    m_model.key_down(kKeyRight, kCtrl);
    m_model.key_down(kKeyA, 0);
    EXPECT_TRUE(m_host.events.empty()) << "a move alone changes no selection";
    m_model.key_down(kKeySpace, 0);
    m_model.key_down(kKeyA, kCtrl);
    m_model.key_down(kKeyEscape, 0);
    m_model.key_down(kKeyEscape, 0);
    EXPECT_EQ(m_host.events,
              (std::vector<std::string>{"SelectionChange", "SelectionChange", "SelectionChange"}))
        << "no mouse event is made up, and a second Escape changes nothing";
}

TEST_F(GridTest, AClickRaisesSelectionChangeBeforeMouseUp) {
    load_all();
    click(2);
    EXPECT_EQ(m_host.events, (std::vector<std::string>{"MouseDown 1 0 2050 700", "SelectionChange",
                                                       "MouseUp 1 0 2050 700"}));
    m_host.clear();
    click(2);
    EXPECT_EQ(m_host.events.size(), 2u) << "the same selection again is no change";
}

TEST_F(GridTest, ReturnOpensTheCurrentItemAsADoubleClickDoes) {
    load_all();
    EXPECT_TRUE(m_model.key_down(kKeyReturn, 0));
    EXPECT_TRUE(m_host.events.empty()) << "no current item yet";
    click(4);
    m_model.key_down(kKeyRight, kCtrl);
    m_host.clear();
    EXPECT_TRUE(m_model.key_down(kKeyReturn, 0));
    EXPECT_EQ(m_host.events, (std::vector<std::string>{"DblClick 5"}));
}

TEST_F(GridTest, AMoveRedrawsTheCellsOfTheOldAndTheNewCurrentItem) {
    load_all();
    click(2);
    m_host.clear();
    m_model.key_down(kKeyRight, kCtrl);
    EXPECT_EQ(m_host.calls, (std::vector<std::string>{"draw 2 3", "present"}));
    m_host.clear();
    click(6);
    EXPECT_NE(std::find(m_host.calls.begin(), m_host.calls.end(), "draw 2 6 3"), m_host.calls.end())
        << "the click moves the current item too";
}

TEST_F(GridTest, TheCurrentItemIsScrolledIntoView) {
    load_all();
    click(1);
    m_model.key_down(kKeyEnd, 0);
    // The last row ends at 5400 twips, the canvas's bottom: the bar goes to its end.
    EXPECT_EQ(m_host.scroll.value, 160);
    EXPECT_EQ(m_model.scroll_offset(), 2400);
    m_model.key_down(kKeyUp, 0);
    EXPECT_EQ(m_host.scroll.value, 160) << "item 7 shows already";
    m_model.key_down(kKeyUp, 0);
    // Item 4's cell starts at 1400; its margin above it shows too.
    EXPECT_EQ(m_host.scroll.value, 90);
    m_model.key_down(kKeyHome, 0);
    EXPECT_EQ(m_host.scroll.value, 0);
}

TEST_F(GridTest, KeysAreLeftAloneWhenTheGridCannotUseThem) {
    EXPECT_FALSE(m_model.key_down(kKeyRight, 0)) << "nothing loaded";
    load_all();
    EXPECT_FALSE(m_model.key_down(kKeyA, 0));
    EXPECT_FALSE(m_model.key_down(66, kCtrl));
    click(2);
    m_model.properties().Enabled = false;
    EXPECT_FALSE(m_model.key_down(kKeyRight, 0));
    EXPECT_FALSE(m_model.key_down(kKeyA, kCtrl));
    EXPECT_EQ(m_model.SelectedItems(), "2");
    EXPECT_EQ(m_model.current(), 2);
}

TEST_F(GridTest, AReloadOfTheSameListKeepsTheCurrentItemAnotherListDropsIt) {
    load_all();
    click(5);
    m_model.set_filelist(lines(m_paths));
    m_model.Redraw(false);
    EXPECT_EQ(m_model.current(), 5);
    EXPECT_EQ(m_model.anchor(), 5);
    m_model.set_filelist(lines({m_paths[1], m_paths[0]}));
    EXPECT_EQ(m_model.current(), 0);
    EXPECT_EQ(m_model.anchor(), 0);
}

struct ContextCase {
    const char* name;
    const char* before;
    int item; // 0: between the pictures
    const char* after;
};

void PrintTo(const ContextCase& c, std::ostream* os) {
    *os << c.name;
}

class ContextMenuSelects : public GridTest, public testing::WithParamInterface<ContextCase> {};

TEST_P(ContextMenuSelects, WhatWasPointedAt) {
    const ContextCase& c = GetParam();
    load_all();
    m_model.set_SelectedItems(c.before);
    m_host.clear();
    const float x = c.item ? mid_x(c.item) : 10, y = c.item ? mid_y(c.item) : 10;
    m_model.fond_ContextMenu(x, y);
    EXPECT_EQ(m_model.SelectedItems(), c.after);
    // The right button's release comes after the menu, when it comes at all.
    m_model.fond_MouseDown(kRightButton, 0, x, y);
    m_model.fond_MouseUp(kRightButton, 0, x, y);
    EXPECT_EQ(m_model.SelectedItems(), c.after);
    if (c.item) {
        EXPECT_EQ(m_model.current(), c.item);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Menus, ContextMenuSelects,
    testing::Values(ContextCase{"OnASelectedPictureKeepsTheSelection", "1,3,5", 3, "1,3,5"},
                    ContextCase{"OnAnotherPictureSelectsItAlone", "1,3", 4, "4"},
                    ContextCase{"BetweenThePicturesClears", "1,3", 0, ""}),
    [](const testing::TestParamInfo<ContextCase>& info) { return info.param.name; });

} // namespace
} // namespace orvix
