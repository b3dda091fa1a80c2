#include "app/layout.h"

#include <algorithm>

namespace orvix {

namespace {

constexpr int margin = 100;
constexpr int page_top = 400;
constexpr int tabstrip_top = 50;
constexpr int pbar_gap = 50;
constexpr int pbar_right_margin = 150;
constexpr int button_width = 1150;
constexpr int xfer_width = 2400;
constexpr int label_gap = 150;
constexpr int zoom_gap = 50;
constexpr int sortorder_width = 2400;

// Places the controls inside a folder frame of the given width.
void arrange_folder_frame(MainLayout& layout, int frame_width) {
    set_width(layout.browse_button, std::max(button_width, layout.captions.browse));
    layout.status_label.move_to(layout.browse_button.right + label_gap, layout.status_label.top);
    set_width(layout.open_button, std::max(button_width, layout.captions.open));
    layout.open_button.move_to(frame_width - margin - layout.open_button.width(),
                               layout.open_button.top);
    set_width(layout.folder_box, layout.open_button.left - margin - layout.folder_box.left);
    set_width(layout.status_label, frame_width - layout.status_label.left - margin);
}

// The zoom and the order take a row under the grid, which gives up its height.
void arrange_zoom_row(MainLayout& layout) {
    const int row = layout.zoom.height();
    if (row <= 0)
        return;
    set_height(layout.tex, layout.tex.height() - row - zoom_gap);
    set_width(layout.sortorder, std::max(sortorder_width, layout.captions.sortorder));
    layout.sortorder.move_to(layout.tex.right - layout.sortorder.width(),
                             layout.tex.bottom + zoom_gap);
    layout.zoom.move_to(layout.tex.left, layout.sortorder.top);
    set_width(layout.zoom, layout.sortorder.left - margin - layout.zoom.left);
}

} // namespace

void set_width(Rect& box, int width) {
    if (width >= 0)
        box.set_width(width);
}

void set_height(Rect& box, int height) {
    if (height >= 0)
        box.set_height(height);
}

MainLayout design_layout(int status_bar_height, int toolbar_height, int info_line_height,
                         int zoom_row_height) {
    MainLayout layout;
    layout.zoom.set_height(zoom_row_height);
    layout.sortorder.set_height(zoom_row_height);
    layout.status_bar.set_height(status_bar_height);
    layout.pbar = Rect::sized(margin, 0, 6000, 330);
    layout.xferinfo.set_height(info_line_height);
    layout.vsplit = Rect::sized(5600, 0, 75, 4000);
    layout.tb = Rect::sized(5675, margin, 4000, toolbar_height);
    layout.frame1 = Rect::sized(margin, margin, 5400, 1650);
    layout.frame2 = Rect::sized(margin, layout.frame1.bottom + 150, 5400, 1650);
    layout.xfer = Rect::sized(1900, layout.frame2.bottom + 300, xfer_width, 540);
    layout.folder_box = Rect::sized(150, 380, 3900, 330);
    layout.open_button = Rect::sized(4150, 360, button_width, 370);
    layout.browse_button = Rect::sized(150, 860, button_width, 370);
    layout.status_label = Rect::sized(layout.browse_button.right + label_gap, 840, 3850, 720);
    return layout;
}

void arrange_layout(MainLayout& layout, int inner_width, int inner_height, bool show_thumbs) {
    layout.status_bar.move_to(0, inner_height - layout.status_bar.height());
    set_width(layout.status_bar, inner_width);

    layout.tabstrip.move_to(0, tabstrip_top);
    set_height(layout.tabstrip, layout.status_bar.top - tabstrip_top);
    set_width(layout.tabstrip, inner_width);

    layout.page.move_to(margin, page_top);
    set_height(layout.page, layout.tabstrip.height() - page_top - margin);
    set_width(layout.page, layout.tabstrip.width() - 2 * margin);

    layout.vsplit.move_to(layout.vsplit.left, 0);
    set_height(layout.vsplit, layout.page.height());

    layout.infobox.move_to(margin, 150);
    set_width(layout.infobox, layout.page.width() - 2 * margin);
    set_height(layout.infobox, layout.page.height() - 2 * margin);

    int column_width = layout.page.width();
    if (show_thumbs) {
        column_width = layout.vsplit.left;
        layout.tb.move_to(layout.vsplit.right, margin);
        set_width(layout.tb, layout.page.width() - layout.tb.left - margin);
        layout.tex.move_to(layout.tb.left, layout.tb.bottom + margin);
        set_height(layout.tex, layout.page.height() - margin - layout.tex.top);
        set_width(layout.tex, layout.tb.width());
        arrange_zoom_row(layout);
    }
    layout.frame1.move_to(margin, layout.frame1.top);
    set_width(layout.frame1, column_width - 2 * margin);
    layout.frame2.move_to(margin, layout.frame2.top);
    set_width(layout.frame2, layout.frame1.width());
    set_width(layout.xfer, std::max(xfer_width, layout.captions.transfer));
    layout.xfer.move_to((column_width - layout.xfer.width()) / 2, layout.xfer.top);
    arrange_folder_frame(layout, layout.frame1.width());

    set_width(layout.cancelxfer, std::max(button_width, layout.captions.cancel));
    set_height(layout.cancelxfer, layout.pbar.height() + layout.xferinfo.height());
    layout.cancelxfer.move_to(inner_width - pbar_right_margin - layout.cancelxfer.width(),
                              inner_height - layout.cancelxfer.height() - pbar_gap);
    layout.pbar.move_to(layout.pbar.left, layout.cancelxfer.top);
    set_width(layout.pbar, layout.cancelxfer.left - margin - layout.pbar.left);
    layout.xferinfo.move_to(layout.pbar.left, layout.pbar.bottom);
    set_width(layout.xferinfo, layout.pbar.width());
}

} // namespace orvix
