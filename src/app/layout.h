// Where the main window's controls go, in twips, worked out without a display so the
// rules can be tested on their own. The window converts the result to pixels.
#pragma once

#include "geometry/geometry.h"

namespace orvix {

// A negative size is refused and the box keeps its previous one, so a window shrunk to
// almost nothing leaves its controls where they were instead of failing.
void set_width(Rect& box, int width);
void set_height(Rect& box, int height);

// The widths, in twips, that the buttons' captions need in the current language.
struct CaptionWidths {
    int browse = 0;   // Command2, dest
    int open = 0;     // Command3, Command4
    int transfer = 0; // xfer
    int cancel = 0;   // cancelxfer
    int sortorder = 0;
};

struct MainLayout {
    // Controls of the window itself.
    Rect status_bar;
    Rect tabstrip;
    Rect page; // frame_transfert, frame_setup and frame_infos share one placement
    Rect pbar;
    // During a transfer: the stop button beside the bar and the speed line under it.
    Rect cancelxfer;
    Rect xferinfo;
    // Inside the pages.
    Rect vsplit;
    Rect tb;
    Rect tex;
    // Under the grid: its zoom slider and, beside it, its order.
    Rect zoom;
    Rect sortorder;
    Rect frame1;
    Rect frame2;
    Rect xfer;
    Rect infobox;
    // Inside Frame1 (Frame2's controls sit at the same places in their frame).
    Rect folder_box;    // chemin, destin
    Rect browse_button; // Command2, dest
    Rect open_button;   // Command3, Command4
    Rect status_label;  // statussrc, freedest
    // A button grows to fit its caption, never below its design width; the controls
    // beside it make room.
    CaptionWidths captions;
};

// The placement of a new window: the design sizes that arrange_layout keeps. The status
// bar, the toolbar, the speed line and the row of the zoom under the grid (none when 0)
// bring their own heights.
MainLayout design_layout(int status_bar_height, int toolbar_height, int info_line_height = 255,
                         int zoom_row_height = 0);

// Places every control for a window whose inner area is inner_width x inner_height.
// With show_thumbs the toolbar and the grid stand right of the splitter and the folder
// frames fill the column left of it; without, the frames span the page. The progress bar
// shares the bottom of the window with the stop button at its right and the speed line
// under it, so its top rises by the line's height and its right end makes room for the
// button.
void arrange_layout(MainLayout& layout, int inner_width, int inner_height, bool show_thumbs);

} // namespace orvix
