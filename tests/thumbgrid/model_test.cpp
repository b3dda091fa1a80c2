#include "controls/thumbgrid/glimra_model.h"

#include "fs/fs.h"
#include "model_fixture.h"
#include "recording_host.h"
#include "support/images.h"
#include "support/temp_dir.h"
#include "text/text.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace orvix {
namespace {

using test::GridTest;
using test::lines;
using test::RecordingHost;
using test::TempDir;

// --- The list ------------------------------------------------------------------------------

TEST_F(GridTest, CompanionThumbnailsAreDrawnInsteadAndNotListed) {
    const std::string a = m_dir.file("a.jpg");
    const std::string m_a = m_dir.file("m_a.jpg");
    const std::string m_ref = m_dir.file("m_ref.jpg");
    const std::string m_ref2 = m_dir.file("m_ref2.jpg");
    const std::string upper = m_dir.file("M_b.jpg");
    test::make_jpeg(a, 400, 300);
    test::make_jpeg(m_a, 4, 3);
    for (const std::string& path : {m_ref, m_ref2, upper})
        test::make_jpeg(path, 8, 6);
    m_model.set_screen(12.5, 15.0);
    m_model.set_filelist(lines({a, m_a, m_ref, m_ref2, upper}));

    ASSERT_EQ(m_model.count(), 4);
    EXPECT_EQ(m_model.item(1)->Path, a);
    EXPECT_EQ(m_model.item(1)->ThumbPath, m_a);
    EXPECT_EQ(m_model.item(1)->Width, 400) << "the picture's own size";
    // The companion's 4 x 3 pixels at 12.5 and 15 twips: 50 and 45.
    EXPECT_EQ(m_model.item(1)->ThumbWidth, 50);
    EXPECT_EQ(m_model.item(1)->ThumbHeight, 45);
    EXPECT_EQ(m_model.item(2)->Path, m_ref);
    EXPECT_EQ(m_model.item(2)->ThumbPath, m_ref) << "no m_m_ref.jpg beside it";
    // 8 pixels at 12.5 twips is 100; 6 at 15 is 90.
    EXPECT_EQ(m_model.item(2)->ThumbWidth, 100);
    EXPECT_EQ(m_model.item(3)->Path, m_ref2);
    EXPECT_EQ(m_model.item(4)->Path, upper) << "the prefix is compared case-sensitively";
}

TEST_F(GridTest, MissingFilesAreLeftOutAndTheRestNumberedFromOne) {
    m_model.set_filelist(lines({m_paths[0], m_dir.file("gone.jpg"), m_paths[2], ""}));
    ASSERT_EQ(m_model.count(), 2);
    EXPECT_EQ(m_model.File_Path(1), m_paths[0]);
    EXPECT_EQ(m_model.File_Path(2), m_paths[2]);
    EXPECT_EQ(m_model.filelist(), m_paths[0] + "\r" + m_paths[2]);
    EXPECT_EQ(m_model.File_Type(2), kTypeJpeg);
    EXPECT_EQ(m_model.File_Width(2), 80);
}

// A long list is read on several threads, each taking the next run of paths: the items
// still come in the list's order, with missing files, companions and folders where they were.
TEST_F(GridTest, ALongListReadOnSeveralThreadsKeepsItsOrder) {
    const std::string picture = test::read_file(m_paths.front());
    const std::string folder = m_dir.file("inner") + "/";
    test::write_file(m_dir.file("inner/x.jpg"), picture);
    std::vector<std::string> list;
    std::vector<std::pair<std::string, std::string>> expected; // path, thumbnail
    int32_t looked_at = 0;
    for (int i = 0; i < 1500; ++i) {
        const std::string path = m_dir.file("long" + std::to_string(i) + ".jpg");
        if (i % 7 == 3) {
            list.push_back(path); // never written
            ++looked_at;
        } else if (i % 11 == 5 && !expected.empty() && expected.back().first != folder) {
            // The companion of the picture before, listed too: never an item of its own.
            const std::string companion = parent_folder(expected.back().first) + "m_" +
                                          file_name(expected.back().first, true);
            test::write_file(companion, picture);
            expected.back().second = companion;
            list.push_back(companion);
        } else if (i % 97 == 0) {
            list.push_back(folder);
            expected.emplace_back(folder, folder);
            ++looked_at;
        } else {
            test::write_file(path, picture);
            list.push_back(path);
            expected.emplace_back(path, path);
            ++looked_at;
        }
    }
    m_model.set_filelist(lines(list));
    ASSERT_EQ(m_model.count(), static_cast<int32_t>(expected.size()));
    for (int32_t index = 1; index <= m_model.count(); ++index) {
        const auto& [path, thumbnail] = expected[static_cast<size_t>(index - 1)];
        ASSERT_EQ(m_model.item(index)->Path, path) << index;
        EXPECT_EQ(m_model.item(index)->ThumbPath, thumbnail) << index;
    }
    EXPECT_EQ(m_model.files_read(), looked_at) << "each path but the companions looked at once";
}

TEST_F(GridTest, AnEmptyListHasNoItems) {
    EXPECT_EQ(m_model.filelist(), "") << "nothing before a load";
    m_model.set_filelist("");
    EXPECT_TRUE(m_model.loaded());
    EXPECT_EQ(m_model.count(), 0);
    EXPECT_EQ(m_model.filelist(), "");
    EXPECT_EQ(m_model.SelectedItems(), "");
    EXPECT_EQ(m_host.events, (std::vector<std::string>{"GlimraLoadStart", "GlimraLoadEnd"}));
}

TEST_F(GridTest, AFolderEntryStandsWhenTheFolderHoldsAFile) {
    const std::string full = m_dir.folder("full");
    test::write_file(full + "x.txt", "x");
    const std::string empty = m_dir.folder("empty");
    m_model.set_filelist(lines({full, empty}));
    ASSERT_EQ(m_model.count(), 1);
    EXPECT_EQ(m_model.File_Path(1), full);
    EXPECT_EQ(m_model.File_Type(1), kTypeUnknown);
}

TEST_F(GridTest, PerItemPropertiesOutsideTheRangeGiveEmptyAndMinusOne) {
    EXPECT_EQ(m_model.File_Width(1), -1) << "before a load";
    load_all();
    EXPECT_EQ(m_model.File_Width(0), -1);
    EXPECT_EQ(m_model.File_Path(0), "");
    EXPECT_EQ(m_model.File_Size(11), -1);
    EXPECT_EQ(m_model.File_Bounds(0), "");
    EXPECT_FALSE(m_model.set_File_Tag(0, "x"));
    EXPECT_TRUE(m_model.set_File_Tag(10, "x"));
    EXPECT_EQ(m_model.File_Tag(10), "x");
    EXPECT_EQ(m_model.File_Bounds(1), "100,250,1300,1150");
    EXPECT_EQ(m_model.File_BoundsGrid(4), "50,1400,1350,2700");
}

// --- Layout and hit testing -------------------------------------------------------------------

TEST_F(GridTest, HitTestingUsesThePictureWithItsEdgesAndTheScrollPosition) {
    load_all();
    const Rect& b = m_model.item(5)->Bounds;
    EXPECT_EQ(m_model.get_xy_pict(float(b.left), float(b.top)), 5);
    EXPECT_EQ(m_model.get_xy_pict(float(b.right), float(b.bottom)), 5);
    EXPECT_EQ(m_model.get_xy_pict(float(b.left) - 1, float(b.top)), 0);
    EXPECT_EQ(m_model.get_xy_pict(float(b.left), float(b.top) - 1), 0)
        << "the cell's margin around the picture does not count";
    m_model.set_scroll_value(90); // 1350 twips: one row down
    EXPECT_EQ(m_model.get_xy_pict(float(b.left), float(b.top) - 1350), 5);
}

TEST_F(GridTest, TheScrollBarCoversTheCanvasBelowTheArea) {
    m_model.set_filelist(lines(m_paths));
    m_model.Redraw(false);
    // Four rows of 1350 twips: canvas height 50 + 3 * 1350 + 1300 = 5400.
    EXPECT_EQ(m_model.canvas_height(), 5400);
    EXPECT_EQ(m_host.scroll, (ScrollRange{true, 160, 200, 87}));
}

TEST_F(GridTest, AnUnreadablePictureStillTakesACellThatCanBeClicked) {
    test::write_file(m_paths[1], "not a picture");
    load_all();
    EXPECT_EQ(m_model.File_Type(2), kTypeUnknown);
    EXPECT_EQ(m_model.File_Bounds(2), "1450,100,2650,1300");
    click(2);
    EXPECT_EQ(m_model.SelectedItems(), "2");
}

TEST_F(GridTest, CellsMoveWhenTheirSizeChangesEvenWithTheSameCanvas) {
    m_model.properties().ThumbnailsSize = 0;
    load_all();
    const Rect before = m_model.item(2)->BoundsGrid;
    m_model.properties().Margin = 100;
    m_model.Redraw(false);
    EXPECT_NE(m_model.item(2)->BoundsGrid, before);
}

// --- Selection --------------------------------------------------------------------------------

struct SelectionWrite {
    const char* name;
    const char* text;
    const char* selected;
};

class WritesSelectedItems : public GridTest, public testing::WithParamInterface<SelectionWrite> {};

TEST_P(WritesSelectedItems, SelectsTheListedItemsOnly) {
    load_all();
    m_model.set_SelectedItems("5,6");
    m_model.set_SelectedItems(GetParam().text);
    EXPECT_EQ(m_model.SelectedItems(), GetParam().selected);
}

INSTANTIATE_TEST_SUITE_P(Texts, WritesSelectedItems,
                         testing::Values(SelectionWrite{"One", "3", "3"},
                                         SelectionWrite{"Commas", ",1,2,", "1,2"},
                                         SelectionWrite{"TwelveIsNeitherOneNorTwo", "12", ""},
                                         SelectionWrite{"Empty", "", ""},
                                         SelectionWrite{"OutOfRange", "0,10,11", "10"},
                                         SelectionWrite{"OnlyACommma", ",", ""}),
                         [](const testing::TestParamInfo<SelectionWrite>& info) {
                             return std::string(info.param.name);
                         });

TEST_F(GridTest, TheItemNumbersAreTheSelectedItemsText) {
    EXPECT_EQ(selected_items_text({}), "");
    EXPECT_EQ(selected_items_text({7}), "7");
    load_all();
    m_model.select_items({2, 5, 10});
    EXPECT_EQ(m_model.SelectedItems(), "2,5,10");
    EXPECT_EQ(m_model.selected_items(), (std::vector<int32_t>{2, 5, 10}));
    m_model.set_SelectedItems("3,1");
    EXPECT_EQ(m_model.selected_items(), (std::vector<int32_t>{1, 3}));
    m_model.select_items({});
    EXPECT_EQ(m_model.SelectedItems(), "");
    EXPECT_TRUE(m_model.selected_items().empty());
}

TEST_F(GridTest, WritingTheSelectionRedrawsOnlyTheCellsThatChange) {
    load_all();
    m_model.set_SelectedItems("2,3");
    m_model.set_SelectedItems("3,4");
    EXPECT_EQ(m_host.calls,
              (std::vector<std::string>{"draw 2 3", "present", "draw 2 4", "present"}));
    m_model.properties().LockScreen = true;
    m_host.clear();
    m_model.set_SelectedItems("");
    EXPECT_EQ(m_host.calls, (std::vector<std::string>{"draw 3 4"})) << "not shown while locked";
}

struct ClickCase {
    const char* name;
    int16_t mode;
    const char* before;
    int item; // 0: between two pictures
    int16_t shift;
    const char* after;
};

class ClickSelects : public GridTest, public testing::WithParamInterface<ClickCase> {};

TEST_P(ClickSelects, FollowsTheModeAndTheKeys) {
    const ClickCase& c = GetParam();
    m_model.properties().SelectionMode = c.mode;
    load_all();
    m_model.set_SelectedItems(c.before);
    if (c.item == 0) {
        // In item 1's cell, above its picture.
        const float x = mid_x(1), y = float(m_model.item(1)->Bounds.top) - 20;
        m_model.fond_MouseDown(kLeftButton, c.shift, x, y);
        m_model.fond_MouseUp(kLeftButton, c.shift, x, y);
    } else {
        click(c.item, c.shift);
    }
    EXPECT_EQ(m_model.SelectedItems(), c.after);
    EXPECT_EQ(m_model.clickedItem(), c.item);
}

constexpr int16_t kShift = kShiftMask, kCtrl = kCtrlMask;

INSTANTIATE_TEST_SUITE_P(
    Modes, ClickSelects,
    testing::Values(ClickCase{"SingleSelectsTheClickedOne", 1, "2,7", 4, 0, "4"},
                    ClickCase{"SingleClickOnASelectedOneKeepsIt", 1, "2,4", 4, 0, "4"},
                    ClickCase{"SingleIgnoresTheKeys", 1, "2", 4, kCtrl, "4"},
                    ClickCase{"MultipleWithoutKeysSelectsOne", 2, "2,7", 4, 0, "4"},
                    ClickCase{"ShiftExtendsFromTheHighestSelected", 2, "2,7", 4, kShift,
                              "2,4,5,6,7"},
                    ClickCase{"ShiftUpwardsFromTheAnchor", 2, "2", 5, kShift, "2,3,4,5"},
                    ClickCase{"ShiftWithNothingSelectedSelectsOne", 2, "", 5, kShift, "5"},
                    ClickCase{"ShiftOnTheAnchorUnselectsIt", 2, "2,7", 7, kShift, "2"},
                    ClickCase{"ShiftWinsOverCtrl", 2, "2", 4, kShift | kCtrl, "2,3,4"},
                    ClickCase{"CtrlAddsOne", 2, "2,7", 4, kCtrl, "2,4,7"},
                    ClickCase{"CtrlRemovesOne", 2, "2,7", 7, kCtrl, "2"},
                    ClickCase{"BetweenPicturesClears", 2, "2,7", 0, kCtrl, ""},
                    ClickCase{"OtherModesChangeNothing", 3, "2,7", 4, 0, "2,7"},
                    ClickCase{"OtherModesStillClearBetweenPictures", 3, "2,7", 0, 0, ""}),
    [](const testing::TestParamInfo<ClickCase>& info) { return std::string(info.param.name); });

// --- Events -----------------------------------------------------------------------------------

TEST_F(GridTest, MouseEventsAreRaisedWhenDisabledButChangeNothing) {
    load_all();
    m_model.set_SelectedItems("2");
    m_model.properties().Enabled = false;
    m_host.clear();
    m_model.fond_MouseDown(kLeftButton, 0, mid_x(4), mid_y(4));
    m_model.fond_MouseMove(kLeftButton, 0, mid_x(4), mid_y(4));
    m_model.fond_MouseUp(kLeftButton, 0, mid_x(4), mid_y(4));
    m_model.fond_DblClick();
    EXPECT_EQ(m_host.events,
              (std::vector<std::string>{"MouseDown 1 0 700 2050", "MouseMove 1 0 700 2050",
                                        "MouseUp 1 0 700 2050", "DblClick 0"}));
    EXPECT_EQ(m_model.SelectedItems(), "2");
    m_model.fond_MouseMove(0, 0, mid_x(4), mid_y(4));
    EXPECT_FALSE(m_host.hand) << "the default pointer while disabled";
    EXPECT_EQ(m_host.tooltip, m_paths[3]) << "tooltips still follow the pointer";
}

TEST_F(GridTest, MouseEventsAreRaisedOnAnEmptyGrid) {
    m_model.fond_MouseDown(2, kShift, 10, 20);
    m_model.fond_MouseUp(2, kShift, 10, 20);
    m_model.fond_MouseMove(0, 0, 30, 40);
    EXPECT_EQ(m_host.events, (std::vector<std::string>{"MouseDown 2 1 10 20", "MouseUp 2 1 10 20",
                                                       "MouseMove 0 0 30 40"}));
}

TEST_F(GridTest, ARedrawLoadsTheListFirstAndBracketsTheDrawing) {
    m_model.properties().filelist = lines(m_paths);
    m_model.Redraw(false);
    EXPECT_EQ(m_host.calls,
              (std::vector<std::string>{"GlimraLoadStart", "GlimraLoadEnd", "GlimraDrawingStart",
                                        "render", "GlimraDrawingEnd", "present"}));
    EXPECT_FALSE(m_host.busy);
}

TEST_F(GridTest, ABurstOfResizesGivesOneRedrawAtTheNextTick) {
    load_all();
    for (int width : {4000, 4500, 6000})
        m_model.fond_Resize(width, 3000);
    EXPECT_TRUE(m_host.timer_enabled);
    EXPECT_EQ(m_model.File_BoundsGrid(4), "50,1400,1350,2700") << "not placed again yet";
    const auto renders = [this] {
        return std::count(m_host.calls.begin(), m_host.calls.end(), "render");
    };
    EXPECT_EQ(renders(), 0);
    m_model.Timer1_Timer();
    EXPECT_EQ(renders(), 1);
    EXPECT_EQ(m_model.File_BoundsGrid(4), "4100,50,5400,1350") << "four a row in 6000 twips";
    m_model.Timer1_Timer();
    EXPECT_EQ(renders(), 1) << "nothing left to do";
}

TEST_F(GridTest, LockScreenHoldsBackTheRedrawOfAResize) {
    load_all();
    m_model.properties().LockScreen = true;
    m_model.fond_Resize(6000, 3000);
    m_model.Timer1_Timer();
    EXPECT_TRUE(m_host.calls.empty());
    m_model.properties().LockScreen = false;
    m_model.Redraw(false);
    EXPECT_EQ(m_model.File_BoundsGrid(4), "4100,50,5400,1350");
}

// --- Dragging ---------------------------------------------------------------------------------

class DragTest : public GridTest {
protected:
    DragTest() {
        m_model.properties().AllowReorder = true;
        load_all();
        m_model.set_File_Titlestring(3, "three");
        m_model.set_SelectedItems("3");
        m_host.clear();
    }

    void drag_from_3_to(float x, float y) {
        m_model.fond_MouseDown(kLeftButton, 0, mid_x(3), mid_y(3));
        m_model.fond_MouseMove(kLeftButton, 0, mid_x(3) + 10, mid_y(3));
        EXPECT_EQ(m_model.dragItem(), 0) << "still inside its cell";
        m_model.fond_MouseMove(kLeftButton, 0, x, y);
        m_model.fond_MouseUp(kLeftButton, 0, x, y);
    }
};

TEST_F(DragTest, DroppingOnAPictureSwapsTheWholeRecords) {
    const ThumbItem old3 = *m_model.item(3), old8 = *m_model.item(8);
    drag_from_3_to(mid_x(8), mid_y(8));
    EXPECT_EQ(m_model.item(3)->Path, old8.Path);
    EXPECT_EQ(m_model.item(8)->Path, old3.Path);
    EXPECT_EQ(m_model.item(8)->Titlestring, "three");
    EXPECT_EQ(m_model.item(8)->BoundsGrid, old8.BoundsGrid) << "cells follow the position";
    EXPECT_EQ(m_model.item(4)->Path, m_paths[3]) << "nothing shifts";
    EXPECT_EQ(m_model.SelectedItems(), "8") << "the click then selects the dropped picture";
    EXPECT_EQ(m_host.events,
              (std::vector<std::string>{"MouseDown 1 0 3400 700", "MouseMove 1 0 3410 700",
                                        "MouseMove 1 0 2050 3400", "GlimraDrawingStart",
                                        "GlimraDrawingEnd", "Reorder 3 8", "SelectionChange",
                                        "MouseUp 1 0 2050 3400"}));
    EXPECT_NE(std::find(m_host.calls.begin(), m_host.calls.end(), "render force"),
              m_host.calls.end());
}

TEST_F(DragTest, DroppingOutsideEveryPictureOnlyReports) {
    const float x = mid_x(8), y = float(m_model.item(8)->Bounds.bottom) + 30;
    drag_from_3_to(x, y);
    EXPECT_EQ(m_model.item(3)->Path, m_paths[2]);
    EXPECT_EQ(m_host.events[3], "Reorder 3 0");
    EXPECT_NE(std::find(m_host.calls.begin(), m_host.calls.end(), "hide_dragpic"),
              m_host.calls.end());
}

TEST_F(DragTest, TheDraggedPictureKeepsItsGrabOffset) {
    m_model.fond_MouseDown(kLeftButton, 0, mid_x(3), mid_y(3));
    m_model.fond_MouseMove(kLeftButton, 0, mid_x(3) + 2000, mid_y(3) + 100);
    // The cell's corner follows the pointer.
    const Rect& cell = m_model.item(3)->BoundsGrid;
    ASSERT_GE(m_host.calls.size(), 2u);
    EXPECT_EQ(m_host.calls[m_host.calls.size() - 2], "move_dragpic " +
                                                         std::to_string(cell.left + 2000) + " " +
                                                         std::to_string(cell.top + 100));
}

TEST_F(DragTest, ADoubleClickDisarmsTheDrag) {
    m_model.fond_MouseDown(kLeftButton, 0, mid_x(3), mid_y(3));
    m_model.fond_MouseUp(kLeftButton, 0, mid_x(3), mid_y(3));
    m_model.fond_DblClick();
    m_model.fond_MouseMove(kLeftButton, 0, mid_x(8), mid_y(8));
    m_model.fond_MouseUp(kLeftButton, 0, mid_x(8), mid_y(8));
    EXPECT_EQ(m_model.item(3)->Path, m_paths[2]);
    EXPECT_EQ(std::count_if(m_host.events.begin(), m_host.events.end(),
                            [](const std::string& e) { return e.starts_with("Reorder"); }),
              0);
    EXPECT_EQ(m_host.events[2], "DblClick 3");
}

TEST_F(DragTest, NoDragWithoutAllowReorder) {
    m_model.properties().AllowReorder = false;
    drag_from_3_to(mid_x(8), mid_y(8));
    EXPECT_EQ(m_model.item(3)->Path, m_paths[2]);
    EXPECT_EQ(m_model.SelectedItems(), "8");
}

TEST_F(DragTest, ScrollingDoesNotStartADragInsideTheStartCell) {
    m_model.set_scroll_value(90); // one row down: item 3's cell is now 1350 twips higher
    const float x = mid_x(3), y = mid_y(3) - 1350;
    m_model.fond_MouseDown(kLeftButton, 0, x, y);
    m_model.fond_MouseMove(kLeftButton, 0, x + 10, y);
    EXPECT_EQ(m_model.dragItem(), 0);
}

// --- Hover, tooltips and the status strip ------------------------------------------------------

TEST_F(GridTest, HoveringSetsTheTooltipAndTheHandPointer) {
    load_all();
    m_model.set_File_Tooltip(2, "#CURRENTNUM# of #TOTAL#");
    m_model.fond_MouseMove(0, 0, mid_x(1), mid_y(1));
    EXPECT_EQ(m_host.tooltip, m_paths[0]) << "the path when the item has no tooltip";
    EXPECT_TRUE(m_host.hand);
    m_model.fond_MouseMove(0, 0, mid_x(2), mid_y(2));
    EXPECT_EQ(m_host.tooltip, "2 of 10");
    m_model.fond_MouseMove(0, 0, 10, 10);
    EXPECT_FALSE(m_host.hand);
    EXPECT_EQ(m_host.tooltip, "2 of 10") << "left as it was off the pictures";
    m_model.properties().ShowTooltips = false;
    m_model.fond_MouseMove(0, 0, mid_x(1), mid_y(1));
    EXPECT_EQ(m_host.tooltip, "");
}

TEST_F(GridTest, TheStatusStripShowsTheItemUnderThePointer) {
    m_model.properties().ShowStatus = true;
    load_all();
    m_model.fond_MouseMove(0, 0, mid_x(3), mid_y(3));
    EXPECT_TRUE(m_host.status_visible);
    EXPECT_EQ(m_host.status, m_paths[2] + "   80 x 60");
    m_model.fond_MouseMove(0, 0, 10, 10);
    EXPECT_EQ(m_host.status, "") << "empty over no picture";
    EXPECT_TRUE(m_host.status_visible);
    m_model.properties().ShowStatus = false;
    m_model.fond_MouseMove(0, 0, 10, 10);
    EXPECT_FALSE(m_host.status_visible);
}

// --- Captions ---------------------------------------------------------------------------------

struct TemplateCase {
    const char* name;
    const char* text;
    int32_t index;
    const char* expected;
};

class ExpandsTemplate : public GridTest, public testing::WithParamInterface<TemplateCase> {};

TEST_P(ExpandsTemplate, ReplacesTheKeywords) {
    m_paths[1] = m_dir.file("a/B.JPG");
    test::make_jpeg(m_paths[1], 40, 30);
    load_all();
    m_model.set_File_Titlestring(2, "#TOTAL# #FILENAME#");
    m_model.set_File_Tooltip(2, "#CUSTOM#");
    m_model.fond_MouseMove(0, 0, mid_x(2), mid_y(2));
    int32_t index = GetParam().index;
    std::string expected = Remplacer("$DIR", m_dir.path(), GetParam().expected);
    EXPECT_EQ(m_model.ExpandTemplate(GetParam().text, index), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Tokens, ExpandsTemplate,
    testing::Values(
        TemplateCase{"NumberAndTotal", "#CURRENTNUM#/#TOTAL#", 3, "3/10"},
        TemplateCase{"ExtensionInLowerCase", "#FILEEXTENSION#", 2, "jpg"},
        TemplateCase{"Sizes", "#FILEWIDTH#,#FILEHEIGHT# #DIMENSIONS# #FILETYPE#", 2,
                     "40,30 40 x 30 JPEG"},
        TemplateCase{"Names", "#SHORTFILENAME# in #FILENAME#", 2, "B.JPG in $DIRa/B.JPG"},
        // The title string brings #TOTAL# and #FILENAME#: only the later token is replaced.
        TemplateCase{"InsertedTextMeetsOnlyLaterTokens", "[#CUSTOM#]", 2, "[10 #FILENAME#]"},
        // The tooltip brings #CUSTOM#, whose title string brings #TOTAL#.
        TemplateCase{"InsertedTextIsExpandedInTurn", "#FILETOOLTIP#", 2, "10 #FILENAME#"},
        TemplateCase{"ZeroMeansTheHoveredItem", "#CURRENTNUM#", 0, "2"},
        TemplateCase{"NoItemGivesTheSamples",
                     "#FILENAME#|#SHORTFILENAME#|#FILESIZE#|#DIMENSIONS#|#FILETYPE#|"
                     "#FILEEXTENSION#|#CURRENTNUM#|#CUSTOM#|#TOTAL#|#FILETOOLTIP#",
                     -1,
                     "C:\\My Documents\\The Path\\Sample.jpg|Sample.jpg|#######|### x ###|File "
                     "Type|JPG|#|#CUSTOM#|10|Sample Tooltip"},
        TemplateCase{"KeywordsAreCaseSensitive", "#total#", 2, "#total#"}),
    [](const testing::TestParamInfo<TemplateCase>& info) { return std::string(info.param.name); });

TEST_F(GridTest, ExpandingForZeroSetsTheIndexToTheHoveredItem) {
    load_all();
    m_model.fond_MouseMove(0, 0, mid_x(4), mid_y(4));
    int32_t index = 0;
    m_model.ExpandTemplate("#CURRENTNUM#", index);
    EXPECT_EQ(index, 4);
}

// --- The property store -------------------------------------------------------------------------

TEST(GlimraProperties, SavingWritesOnlyWhatDiffersFromTheDefault) {
    PropertyBag bag;
    write_properties(GlimraProperties{}, bag);
    EXPECT_TRUE(bag.empty());

    GlimraProperties changed;
    changed.filelist = "/a.jpg";
    changed.ThumbnailsSize = -1300;
    changed.ColorSelection = 0xFF;
    changed.ShowTitle = false;
    changed.TitleText = "#CUSTOM#";
    write_properties(changed, bag);
    EXPECT_EQ(bag, (PropertyBag{{"FileList", std::string("/a.jpg")},
                                {"ThumbnailsSize", int64_t{-1300}},
                                {"ColorSelection", int64_t{0xFF}},
                                {"ShowTitle", false},
                                {"TitleText", std::string("#CUSTOM#")}}));
}

TEST(GlimraProperties, ReadingAppliesDefaultsAndRefusesValuesOfTheWrongKind) {
    const GlimraProperties read =
        read_properties<GlimraProperties>({{"Margin", int64_t{80}},
                                           {"BorderWidth", int64_t{300}}, // beyond a byte
                                           {"ShowGrid", std::string("yes")},
                                           {"StatusText", std::string("#FILESIZE#")}});
    EXPECT_EQ(read.Margin, 80);
    EXPECT_EQ(read.BorderWidth, 2);
    EXPECT_FALSE(read.ShowGrid);
    EXPECT_EQ(read.StatusText, "#FILESIZE#");
    EXPECT_EQ(read.ColorSelection, kColourHighlight);
    EXPECT_EQ(read.DitherTextBackground, 3);
}

TEST_F(GridTest, ReadingTheStoreDoesNotLoadTheListButTheNextRedrawDoes) {
    load_all();
    m_model.set_SelectedItems("2,4");
    PropertyBag bag;
    m_model.WriteProperties(bag);
    EXPECT_EQ(std::get<std::string>(bag.at("SelectedItems")), "2,4");

    RecordingHost other_host;
    GlimraModel other(other_host);
    other.set_area(5000, 3000);
    other.ReadProperties(bag);
    EXPECT_FALSE(other.loaded());
    EXPECT_TRUE(other_host.events.empty());
    EXPECT_EQ(other.properties().ThumbnailsSize, 1300);
    other.Redraw(false);
    EXPECT_EQ(other.count(), 10);
    EXPECT_EQ(other_host.events.front(), "GlimraLoadStart");
}

// A long list's first screen is placed and handed over before the rest of the list is read,
// so its pictures can be decoded meanwhile; the places it was given are those it keeps.
TEST_F(GridTest, ALongListsFirstScreenIsHandedOverBeforeTheRestIsRead) {
    for (int i = 11; i <= 40; ++i) {
        m_paths.push_back(m_dir.file("p" + std::to_string(i) + ".jpg"));
        test::write_file(m_paths.back(), test::read_file(m_paths.front()));
    }
    // Gone once the first screen is out: read after it, the last file is no more.
    m_host.on_first_screen = [this] { std::remove(m_paths.back().c_str()); };
    load_all();
    EXPECT_EQ(m_model.count(), 39) << "the rest of the list was read after the first screen";
    // 3000 twips show the tops of three rows of three.
    ASSERT_EQ(m_host.first_screen.size(), 9u);
    for (int i = 1; i <= 9; ++i) {
        const ThumbItem& early = m_host.first_screen[size_t(i - 1)];
        EXPECT_EQ(early.ThumbPath, m_model.item(i)->ThumbPath);
        EXPECT_EQ(m_model.File_Bounds(i), std::to_string(early.Bounds.left) + "," +
                                              std::to_string(early.Bounds.top) + "," +
                                              std::to_string(early.Bounds.right) + "," +
                                              std::to_string(early.Bounds.bottom));
    }
}

TEST_F(GridTest, CellsFittedToTheAreaWaitForTheWholeList) {
    // Their size, and so their places, come from how many items the list holds.
    m_model.properties().ThumbnailsSize = 0;
    m_host.on_first_screen = [] { ADD_FAILURE() << "placed before the list was whole"; };
    load_all();
    EXPECT_EQ(m_model.count(), 10);
}

// The picture cache's budget follows the cells a screen shows: the area and the cells' size.
struct ScreenCase {
    const char* name;
    int16_t ThumbnailsSize;
    int32_t width, height;
    int32_t cells;
};

class CellsPerScreen : public GridTest, public testing::WithParamInterface<ScreenCase> {};

TEST_P(CellsPerScreen, CountTheRowsCutAtTheTopAndTheBottom) {
    for (int i = 11; i <= 40; ++i) {
        m_paths.push_back(m_dir.file("p" + std::to_string(i) + ".jpg"));
        test::write_file(m_paths.back(), test::read_file(m_paths.front()));
    }
    EXPECT_EQ(m_model.cells_per_screen(), 0) << "before a layout";
    m_model.properties().ThumbnailsSize = GetParam().ThumbnailsSize;
    m_model.set_area(GetParam().width, GetParam().height);
    load_all();
    EXPECT_EQ(m_model.cells_per_screen(), GetParam().cells);
}

INSTANTIATE_TEST_SUITE_P(
    Areas, CellsPerScreen,
    testing::Values(
        // Three columns; 3000 twips show two rows of 1350 whole, and parts of two more.
        ScreenCase{"ThreeColumnsFourRows", 1300, 5000, 3000, 12},
        ScreenCase{"AShorterArea", 1300, 5000, 1350, 6},
        ScreenCase{"ANarrowerArea", 1300, 3000, 3000, 8},
        ScreenCase{"SmallerCells", 650, 5000, 1350, 21},
        ScreenCase{"CellsFittedToTheAreaAllShow", 0, 5000, 3000, 40}),
    [](const testing::TestParamInfo<ScreenCase>& info) { return info.param.name; });

} // namespace
} // namespace orvix
