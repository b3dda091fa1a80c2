// A grid model over ten small pictures, for the tests of its rules.
#pragma once

#include "controls/thumbgrid/glimra_model.h"

#include "recording_host.h"
#include "support/images.h"
#include "support/temp_dir.h"
#include "text/text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace orvix::test {

inline std::string lines(const std::vector<std::string>& paths) {
    return join(paths, std::string(1, CR));
}

// A grid of ten 80 x 60 pictures in fixed 1300-twip cells, three a row, laid out in a
// 5000 x 3000 area at 15 twips a pixel. Item i's picture is 1200 x 900 twips.
class GridTest : public testing::Test {
protected:
    GridTest() {
        make_jpeg(m_dir.file("pattern.jpg"), 80, 60);
        const std::string picture = read_file(m_dir.file("pattern.jpg"));
        for (int i = 1; i <= 10; ++i) {
            m_paths.push_back(m_dir.file("p" + std::to_string(i) + ".jpg"));
            write_file(m_paths.back(), picture);
        }
        m_model.set_screen(15.0, 15.0);
        m_model.set_area(5000, 3000);
        m_model.properties().ThumbnailsSize = 1300;
    }

    void load_all() {
        m_model.set_filelist(lines(m_paths));
        m_model.Redraw(false);
        m_host.clear();
    }

    // The middle of item i's picture, and a point of its cell outside the picture.
    float mid_x(int i) const {
        const Rect& b = m_model.item(i)->Bounds;
        return float(b.left + b.right) / 2;
    }
    float mid_y(int i) const {
        const Rect& b = m_model.item(i)->Bounds;
        return float(b.top + b.bottom) / 2;
    }

    void click(int i, int16_t shift = 0) {
        m_model.fond_MouseDown(kLeftButton, shift, mid_x(i), mid_y(i));
        m_model.fond_MouseUp(kLeftButton, shift, mid_x(i), mid_y(i));
    }

    TempDir m_dir;
    std::vector<std::string> m_paths;
    RecordingHost m_host;
    GlimraModel m_model{m_host};
};

} // namespace orvix::test
