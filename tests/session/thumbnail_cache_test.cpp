// The thumbnail recipe feeds the desktop's shared cache from the same decode as the grid's
// own thumbnail.
#include "session/pictures.h"

#include "support/exif.h"
#include "support/images.h"
#include "support/png_keys.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

namespace orvix {
namespace {

using test::TempDir;

class ThumbnailCache : public testing::Test {
protected:
    ThumbnailCache() { m_env.set("XDG_CACHE_HOME", m_cache); }

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

// Drawn while a conversion still writes the picture, the cache thumbnails wait for it.
TEST_F(ThumbnailCache, ThumbnailsOfAPictureStillBeingWrittenAreStoredWhenItStands) {
    const std::string copy = m_dir.file("IMG_5.bmp");
    test::make_picture(copy, 300, 200);
    const std::string converted = m_dir.file("IMG_5.png");
    CacheThumbnails cache;
    ASSERT_EQ(make_thumbnail(copy, m_dir.file("thumb.jpg"), cache), 0);
    EXPECT_EQ(cached_thumbnail(copy, CacheSize::Large), "");
    ASSERT_EQ(convert_image(copy, converted, {}), 0);
    ASSERT_TRUE(store_cache_thumbnails(converted, cache));
    EXPECT_NE(cached_thumbnail(converted, CacheSize::Normal), "");
    EXPECT_NE(cached_thumbnail(converted, CacheSize::Large), "");
    EXPECT_EQ(test::files_under(m_cache).size(), 2u);
}

} // namespace
} // namespace orvix
