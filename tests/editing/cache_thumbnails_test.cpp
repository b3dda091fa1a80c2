// An edit brings the desktop's cache thumbnails of the picture in line with it.
#include "edit_fixture.h"
#include "editing/edit_commands.h"
#include "session/pictures.h"
#include "support/png_keys.h"
#include "support/scoped_env.h"

#include <gtest/gtest.h>

namespace orvix::test {
namespace {

class CacheAfterEdit : public EditTest {
protected:
    CacheAfterEdit() { m_env.set("XDG_CACHE_HOME", m_dir.folder("xdg-cache")); }

    // The picture as a transfer leaves it: its thumbnails made, then its time set back so
    // that the edit's rewrite is told by its time.
    std::string transferred(const std::string& name, int width, int height) {
        const std::string picture = add_picture(name, width, height);
        set_mtime(picture, 1500000000);
        EXPECT_EQ(make_thumbnail(picture, m_records.back().thumb_path), 0);
        EXPECT_NE(cached_thumbnail(picture, CacheSize::Large), "");
        return picture;
    }

    // The size of the valid cache thumbnail, "" when there is none.
    static std::string cached_size(const std::string& picture, CacheSize size) {
        const std::string cached = cached_thumbnail(picture, size);
        const std::optional<PngFacts> facts = read_png_facts(cached);
        if (cached.empty() || !facts)
            return "";
        return std::to_string(facts->width) + "x" + std::to_string(facts->height);
    }

    ScopedEnv m_env;
};

TEST_F(CacheAfterEdit, ATurnRemakesBothSizes) {
    const std::string picture = transferred("IMG_1.jpg", 320, 240);
    show("1");
    ASSERT_EQ(transform_selected(m_context, "qvd").at(0).outcome, EditOutcome::Changed);
    EXPECT_EQ(cached_size(picture, CacheSize::Large), "192x256");
    EXPECT_EQ(cached_size(picture, CacheSize::Normal), "96x128");
}

// The grid's thumbnail keeps its proportions and is left alone; the cache's carries the
// picture's time and size, and must follow.
TEST_F(CacheAfterEdit, AResizeRemakesThemThoughTheGridsThumbnailStays) {
    const std::string picture = transferred("IMG_2.jpg", 1600, 1200);
    show("1");
    ASSERT_EQ(resize_selected(m_context, 200, 90).at(0).outcome, EditOutcome::Changed);
    EXPECT_EQ(cached_size(picture, CacheSize::Large), "200x150");
    EXPECT_EQ(cached_size(picture, CacheSize::Normal), "128x96");
}

} // namespace
} // namespace orvix::test
