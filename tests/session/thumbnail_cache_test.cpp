// The thumbnail recipe feeds the desktop's shared cache from the same decode as the grid's
// own thumbnail.
#include "session/pictures.h"

#include "fs/fs.h"
#include "session/cache_filler.h"

#include "support/exif.h"
#include "support/images.h"
#include "support/png_keys.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"

#include <array>
#include <cstdio>
#include <filesystem>
#include <gtest/gtest.h>
#include <set>

namespace orvix {
namespace {

using test::TempDir;

class ThumbnailCache : public testing::Test {
protected:
    ThumbnailCache() { m_env.set("XDG_CACHE_HOME", m_cache); }

    std::set<std::string> cache_files() const {
        return std::filesystem::exists(m_cache) ? test::files_under(m_cache)
                                                : std::set<std::string>();
    }

    TempDir m_dir;
    std::string m_cache = m_dir.path() + "cache/";
    test::ScopedEnv m_env;
};

TEST_F(ThumbnailCache, TheGridsThumbnailComesWithBothCacheSizes) {
    const std::string picture = m_dir.file("IMG_1.jpg");
    test::make_jpeg(picture, 900, 600);
    const std::string thumb = m_dir.file("thumbs/IMG_1.jpg");
    ASSERT_EQ(make_thumbnail(picture, thumb), 0);

    EXPECT_EQ(test::read_rgb(thumb).width, 100);
    EXPECT_EQ(test::read_rgb(thumb).height, 67);
    for (const auto& [size, width, height] :
         {std::tuple{CacheSize::Normal, 128, 85}, std::tuple{CacheSize::Large, 256, 171}}) {
        const std::string cached = cached_thumbnail(picture, size);
        ASSERT_NE(cached, "");
        const std::optional<test::PngFacts> facts = test::read_png_facts(cached);
        ASSERT_TRUE(facts);
        EXPECT_EQ(facts->width, width);
        EXPECT_EQ(facts->height, height);
    }
}

// A camera's picture decodes at the same reduced scale for the 256-pixel copy as for the
// 100-pixel one alone: the grid's thumbnail is the very file it was before.
TEST_F(ThumbnailCache, TheGridsThumbnailOfACameraPictureIsUnchanged) {
    const std::string picture = m_dir.file("IMG_2.jpg");
    test::make_jpeg(picture, 4000, 3000);
    test::ExifFields fields;
    fields.orientation = 8;
    test::add_exif(picture, fields);
    const std::string alone = m_dir.file("alone.jpg");
    ASSERT_EQ(convert_image(picture, alone, kThumbnailRequest), 0);
    const std::string thumb = m_dir.file("thumb.jpg");
    ASSERT_EQ(make_thumbnail(picture, thumb), 0);
    EXPECT_TRUE(test::read_file(thumb) == test::read_file(alone));
    const std::optional<test::PngFacts> large =
        test::read_png_facts(cached_thumbnail(picture, CacheSize::Large));
    ASSERT_TRUE(large);
    EXPECT_EQ(large->width, 192);
    EXPECT_EQ(large->height, 256);
}

TEST_F(ThumbnailCache, AStaleCacheThumbnailIsRemadeWithTheGridsThumbnail) {
    const std::string picture = m_dir.file("IMG_3.jpg");
    test::make_jpeg(picture, 300, 200);
    test::set_mtime(picture, 1600000000);
    const std::string thumb = m_dir.file("thumb.jpg");
    ASSERT_EQ(make_thumbnail(picture, thumb), 0);
    const std::string cached = cached_thumbnail(picture, CacheSize::Large);
    ASSERT_NE(cached, "");

    test::make_jpeg(picture, 200, 300);
    test::set_mtime(picture, 1600000100);
    EXPECT_EQ(cached_thumbnail(picture, CacheSize::Large), "");
    ASSERT_EQ(make_thumbnail(picture, thumb), 0);
    EXPECT_EQ(cached_thumbnail(picture, CacheSize::Large), cached);
    const std::optional<test::PngFacts> facts = test::read_png_facts(cached);
    ASSERT_TRUE(facts);
    EXPECT_EQ(facts->keys.at("Thumb::MTime"), "1600000100");
    EXPECT_EQ(facts->width, 171);
    EXPECT_EQ(facts->height, 256);
}

TEST_F(ThumbnailCache, ACacheThatCannotBeWrittenDoesNotFailTheThumbnail) {
    test::write_file(m_dir.path() + "blocked", "");
    m_env.set("XDG_CACHE_HOME", m_dir.path() + "blocked");
    const std::string picture = m_dir.file("IMG_4.jpg");
    test::make_jpeg(picture, 300, 200);
    const std::string thumb = m_dir.file("thumb.jpg");
    EXPECT_EQ(make_thumbnail(picture, thumb), 0);
    EXPECT_EQ(test::read_rgb(thumb).width, 100);
    EXPECT_EQ(cached_thumbnail(picture, CacheSize::Large), "");
}

TEST_F(ThumbnailCache, TheTransfersThumbnailLeavesTheCacheAlone) {
    const std::string picture = m_dir.file("IMG_5.jpg");
    test::make_jpeg(picture, 900, 600);
    const std::string thumb = m_dir.file("thumb.jpg");
    ASSERT_EQ(make_grid_thumbnail(picture, thumb, Previews::FirstWhereFit), 0);
    EXPECT_EQ(test::read_rgb(thumb).width, 100);
    EXPECT_TRUE(cache_files().empty());
}

// Read while an edit replaced it, a picture's old pixels keyed with its new time would pass
// for its thumbnail: nothing is stored.
TEST_F(ThumbnailCache, APictureChangedWhileItWasReadGetsNoCacheThumbnails) {
    const std::string picture = m_dir.file("IMG_6.jpg");
    test::make_jpeg(picture, 300, 200);
    const std::optional<FileStatus> before = file_status(picture);
    ASSERT_TRUE(before);
    const std::array sizes{kNormalCacheCopy, kLargeCacheCopy};
    ScaledCopies drawn = scaled_copies(picture, true, sizes);
    ASSERT_EQ(drawn.result, 0);
    const CacheThumbnails thumbnails{std::move(drawn.copies[0]), std::move(drawn.copies[1]),
                                     drawn.shown};

    test::make_jpeg(m_dir.file("new.jpg"), 200, 300);
    ASSERT_EQ(std::rename(m_dir.file("new.jpg").c_str(), picture.c_str()), 0);
    EXPECT_FALSE(store_cache_thumbnails(picture, thumbnails, &*before));
    EXPECT_TRUE(cache_files().empty());
    EXPECT_TRUE(store_cache_thumbnails(picture, thumbnails));
}

TEST_F(ThumbnailCache, TheFillerDrawsWhatIsMissingAndPassesOverTheRest) {
    const std::string done = m_dir.file("done.jpg");
    const std::string fresh = m_dir.file("fresh.jpg");
    const std::string broken = m_dir.file("broken.jpg");
    test::make_jpeg(done, 300, 200);
    test::make_jpeg(fresh, 200, 300);
    test::write_file(broken, "not a picture");
    ASSERT_EQ(make_thumbnail(done, m_dir.file("thumb.jpg")), 0);
    const std::optional<FileStatus> kept =
        file_status(cache_thumbnail_path(done, CacheSize::Large));
    ASSERT_TRUE(kept);

    CacheFiller filler;
    filler.add({broken, m_dir.file("gone.jpg"), done, fresh});
    filler.wait_until_idle();
    const std::optional<FileStatus> after =
        file_status(cache_thumbnail_path(done, CacheSize::Large));
    ASSERT_TRUE(after);
    EXPECT_EQ(after->inode, kept->inode);
    EXPECT_NE(cached_thumbnail(fresh, CacheSize::Normal), "");
    EXPECT_NE(cached_thumbnail(fresh, CacheSize::Large), "");
    EXPECT_EQ(cache_files().size(), 4u);
}

// Closing the window does not wait for a long queue: the picture in hand ends, the rest are
// left, and nothing half written stays in the cache.
TEST_F(ThumbnailCache, TheFillerStopsWithItsOwnerAndLeavesWholeFilesOnly) {
    std::vector<std::string> pictures;
    for (int i = 0; i < 60; ++i) {
        pictures.push_back(m_dir.file("IMG_" + std::to_string(i) + ".jpg"));
        test::make_jpeg(pictures.back(), 640, 480);
    }
    {
        CacheFiller filler;
        filler.add(pictures);
    }
    const std::set<std::string> files = cache_files();
    EXPECT_LT(files.size(), 2 * pictures.size());
    EXPECT_EQ(files.size() % 2, 0u);
    for (const std::string& file : files)
        EXPECT_TRUE(file.ends_with(".png")) << file;
}

} // namespace
} // namespace orvix
