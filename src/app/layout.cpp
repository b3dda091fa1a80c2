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

// Places the controls inside a folder frame of the given width.
void arrange_folder_frame(MainLayout& layout, int frame_width) {
    layout.browse_button.width = std::max(button_width, layout.captions.browse);
    layout.status_label.left = layout.browse_button.right() + label_gap;
    layout.open_button.width = std::max(button_width, layout.captions.open);
    layout.open_button.left = frame_width - margin - layout.open_button.width;
    set_width(layout.folder_box, layout.open_button.left - margin - layout.folder_box.left);
    set_width(layout.status_label, frame_width - layout.status_label.left - margin);
}

} // namespace

void set_width(Box& box, int width) {
    if (width >= 0)
        box.width = width;
}

void set_height(Box& box, int height) {
    if (height >= 0)
        box.height = height;
}

MainLayout design_layout(int status_bar_height, int toolbar_height, int info_line_height) {
    MainLayout layout;
    layout.status_bar.height = status_bar_height;
    layout.pbar = {margin, 0, 6000, 330};
    layout.xferinfo.height = info_line_height;
    layout.vsplit = {5600, 0, 75, 4000};
    layout.tb = {5675, margin, 4000, toolbar_height};
    layout.frame1 = {margin, margin, 5400, 1650};
    layout.frame2 = {margin, layout.frame1.bottom() + 150, 5400, 1650};
    layout.xfer = {1900, layout.frame2.bottom() + 300, xfer_width, 540};
    layout.folder_box = {150, 380, 3900, 330};
    layout.open_button = {4150, 360, button_width, 370};
    layout.browse_button = {150, 860, button_width, 370};
    layout.status_label = {layout.browse_button.right() + label_gap, 840, 3850, 720};
    return layout;
}

void arrange_layout(MainLayout& layout, int inner_width, int inner_height, bool show_thumbs) {
    layout.status_bar.left = 0;
    layout.status_bar.top = inner_height - layout.status_bar.height;
    set_width(layout.status_bar, inner_width);

    layout.tabstrip.left = 0;
    layout.tabstrip.top = tabstrip_top;
    set_height(layout.tabstrip, layout.status_bar.top - tabstrip_top);
    set_width(layout.tabstrip, inner_width);

    layout.page.left = margin;
    layout.page.top = page_top;
    set_height(layout.page, layout.tabstrip.height - page_top - margin);
    set_width(layout.page, layout.tabstrip.width - 2 * margin);

    layout.vsplit.top = 0;
    set_height(layout.vsplit, layout.page.height);

    layout.infobox.left = margin;
    layout.infobox.top = 150;
    set_width(layout.infobox, layout.page.width - 2 * margin);
    set_height(layout.infobox, layout.page.height - 2 * margin);

    int column_width = layout.page.width;
    if (show_thumbs) {
        column_width = layout.vsplit.left;
        layout.tb.left = layout.vsplit.right();
        layout.tb.top = margin;
        set_width(layout.tb, layout.page.width - layout.tb.left - margin);
        layout.tex.left = layout.tb.left;
        layout.tex.top = layout.tb.bottom() + margin;
        set_height(layout.tex, layout.page.height - margin - layout.tex.top);
        set_width(layout.tex, layout.tb.width);
    }
    layout.frame1.left = margin;
    set_width(layout.frame1, column_width - 2 * margin);
    layout.frame2.left = margin;
    set_width(layout.frame2, layout.frame1.width);
    layout.xfer.width = std::max(xfer_width, layout.captions.transfer);
    layout.xfer.left = (column_width - layout.xfer.width) / 2;
    arrange_folder_frame(layout, layout.frame1.width);

    layout.cancelxfer.width = std::max(button_width, layout.captions.cancel);
    layout.cancelxfer.height = layout.pbar.height + layout.xferinfo.height;
    layout.cancelxfer.top = inner_height - layout.cancelxfer.height - pbar_gap;
    layout.cancelxfer.left = inner_width - pbar_right_margin - layout.cancelxfer.width;
    layout.pbar.top = layout.cancelxfer.top;
    set_width(layout.pbar, layout.cancelxfer.left - margin - layout.pbar.left);
    layout.xferinfo.left = layout.pbar.left;
    layout.xferinfo.top = layout.pbar.bottom();
    layout.xferinfo.width = layout.pbar.width;
}

} // namespace orvix
