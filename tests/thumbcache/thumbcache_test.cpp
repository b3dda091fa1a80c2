#include "thumbcache/thumbcache.h"

#include "fs/fs.h"

#include "support/exif.h"
#include "support/images.h"
#include "support/png_keys.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"

#include <array>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace orvix {
namespace {

using test::TempDir;

struct UriCase {
    const char* name;
    std::string path;
    std::string uri;
};

class FileUri : public testing::TestWithParam<UriCase> {};

TEST_P(FileUri, IsTheOneFileManagersHash) {
    EXPECT_EQ(file_uri(GetParam().path), GetParam().uri);
}

INSTANTIATE_TEST_SUITE_P(
    Names, FileUri,
    testing::Values(UriCase{"Plain", "/home/jens/photos/me.png", "file:///home/jens/photos/me.png"},
                    UriCase{"Space", "/p/a b.jpg", "file:///p/a%20b.jpg"},
                    UriCase{"Percent", "/p/100%.jpg", "file:///p/100%25.jpg"},
                    UriCase{"Utf8", "/p/\xC3\xA9t\xC3\xA9.jpg", "file:///p/%C3%A9t%C3%A9.jpg"},
                    UriCase{"NotUtf8", "/p/\xFF.jpg", "file:///p/%FF.jpg"},
                    UriCase{"Reserved", "/p/x#?;.jpg", "file:///p/x%23%3F%3B.jpg"},
                    UriCase{"Brackets", "/p/[1]{2}<3>\"4\\5^6`7|8.jpg",
                            "file:///p/%5B1%5D%7B2%7D%3C3%3E%224%5C5%5E6%607%7C8.jpg"},
                    UriCase{"KeptAsTheyAre", "/p/!$&'()*+,=:@~_-.jpg",
                            "file:///p/!$&'()*+,=:@~_-.jpg"},
                    UriCase{"Folded", "/p//a/./b/../c.jpg", "file:///p/a/c.jpg"},
                    UriCase{"Nothing", "", ""}),
    [](const testing::TestParamInfo<UriCase>& info) { return info.param.name; });

TEST(CacheName, IsTheMd5OfTheUri) {
    EXPECT_EQ(cache_file_name("file:///home/jens/photos/me.png"),
              "c6ee772d9e49320e97ec29a7eb5b1697.png");
    // The name of the URI, not of the path: an escaped name hashes its escapes.
    EXPECT_NE(cache_file_name(file_uri("/p/a b.jpg")), cache_file_name("file:///p/a b.jpg"));
}

TEST(CacheName, LiesInTheUsersCacheFolder) {
    test::ScopedEnv env;
    env.unset("XDG_CACHE_HOME");
    env.set("HOME", "/home/jens");
    EXPECT_EQ(cache_thumbnail_path("/home/jens/photos/me.png", CacheSize::Normal),
              "/home/jens/.cache/thumbnails/normal/c6ee772d9e49320e97ec29a7eb5b1697.png");
    env.set("XDG_CACHE_HOME", "/var/cache/jens");
    EXPECT_EQ(cache_thumbnail_path("/home/jens/photos/me.png", CacheSize::Large),
              "/var/cache/jens/thumbnails/large/c6ee772d9e49320e97ec29a7eb5b1697.png");
}

class CacheTest : public testing::Test {
protected:
    CacheTest() { m_env.set("XDG_CACHE_HOME", m_cache); }

    // The cache's thumbnails of the picture, drawn as the program draws them.
    static CacheThumbnails drawn(const std::string& picture) {
        const std::array sizes{kNormalCacheCopy, kLargeCacheCopy};
        ScaledCopies copies = scaled_copies(picture, true, sizes);
        EXPECT_EQ(copies.result, 0);
        if (copies.result != 0)
            return {};
        return {std::move(copies.copies[0]), std::move(copies.copies[1]), copies.shown};
    }

    std::string store(const std::string& picture) {
        EXPECT_TRUE(store_cache_thumbnails(picture, drawn(picture)));
        return cache_thumbnail_path(picture, CacheSize::Large);
    }

    TempDir m_dir;
    std::string m_cache = m_dir.path() + "cache/";
    test::ScopedEnv m_env;
};

TEST_F(CacheTest, BothSizesCarryTheKeysAndStayPrivateToTheUser) {
    const std::string picture = m_dir.file("photos/a b%.jpg");
    test::make_jpeg(picture, 640, 480);
    test::set_mtime(picture, 1700000000);
    ::umask(022);
    store(picture);

    const std::string name = cache_file_name(file_uri(picture));
    EXPECT_EQ(test::files_under(m_cache),
              (std::set<std::string>{"thumbnails/normal/" + name, "thumbnails/large/" + name}));
    for (const std::string folder : {"", "thumbnails/", "thumbnails/normal/", "thumbnails/large/"})
        EXPECT_EQ(test::mode_of(m_cache + folder), 0700) << folder;
    struct Expected {
        CacheSize size;
        int width;
        int height;
    };
    for (const Expected& expected :
         {Expected{CacheSize::Normal, 128, 96}, Expected{CacheSize::Large, 256, 192}}) {
        const std::string path = cache_thumbnail_path(picture, expected.size);
        EXPECT_EQ(test::mode_of(path), 0600) << path;
        std::optional<test::PngFacts> facts = test::read_png_facts(path);
        ASSERT_TRUE(facts) << path;
        EXPECT_EQ(facts->width, expected.width);
        EXPECT_EQ(facts->height, expected.height);
        EXPECT_EQ(facts->keys["Thumb::URI"], file_uri(picture));
        EXPECT_EQ(facts->keys["Thumb::URI"].find(' '), std::string::npos);
        EXPECT_EQ(facts->keys["Thumb::MTime"], "1700000000");
        EXPECT_EQ(facts->keys["Thumb::Size"], std::to_string(file_length(picture)));
        EXPECT_EQ(facts->keys["Thumb::Image::Width"], "640");
        EXPECT_EQ(facts->keys["Thumb::Image::Height"], "480");
        EXPECT_EQ(cached_thumbnail(picture, expected.size), path);
    }
}

TEST_F(CacheTest, ASmallPictureIsNeverEnlargedAndASidewaysOneStandsUpright) {
    const std::string small = m_dir.file("small.jpg");
    test::make_jpeg(small, 100, 60);
    const std::string sideways = m_dir.file("sideways.jpg");
    test::make_jpeg(sideways, 640, 480);
    test::ExifFields fields;
    fields.orientation = 6;
    test::add_exif(sideways, fields);

    const std::optional<test::PngFacts> kept = test::read_png_facts(store(small));
    ASSERT_TRUE(kept);
    EXPECT_EQ(kept->width, 100);
    EXPECT_EQ(kept->height, 60);
    std::optional<test::PngFacts> upright = test::read_png_facts(store(sideways));
    ASSERT_TRUE(upright);
    EXPECT_EQ(upright->width, 192);
    EXPECT_EQ(upright->height, 256);
    EXPECT_EQ(upright->keys["Thumb::Image::Width"], "480");
}

TEST_F(CacheTest, AThumbnailThatNoLongerMatchesItsPictureIsNotValid) {
    const std::string picture = m_dir.file("a.jpg");
    test::make_jpeg(picture, 300, 200);
    test::set_mtime(picture, 1700000000);
    const std::string path = store(picture);
    ASSERT_EQ(cached_thumbnail(picture, CacheSize::Large), path);

    // Newer as well as older: only an equal time counts.
    test::set_mtime(picture, 1700000001);
    EXPECT_EQ(cached_thumbnail(picture, CacheSize::Large), "");
    test::set_mtime(picture, 1699999999);
    EXPECT_EQ(cached_thumbnail(picture, CacheSize::Large), "");
    EXPECT_EQ(cached_thumbnail(picture, CacheSize::Normal), "");
    store(picture);
    EXPECT_EQ(cached_thumbnail(picture, CacheSize::Large), path);
    EXPECT_EQ(test::read_png_facts(path)->keys["Thumb::MTime"], "1699999999");

    // Another picture of the same time put in its place.
    test::make_jpeg(picture, 310, 200);
    test::set_mtime(picture, 1699999999);
    EXPECT_EQ(cached_thumbnail(picture, CacheSize::Large), "");

    // Another picture's thumbnail under this one's name.
    const std::string other = m_dir.file("b.jpg");
    test::make_jpeg(other, 300, 200);
    test::set_mtime(other, 1699999999);
    test::write_file(path, test::read_file(store(other)));
    EXPECT_EQ(cached_thumbnail(picture, CacheSize::Large), "");

    // A file that is no PNG, and a picture that is gone.
    test::write_file(path, "not a picture");
    EXPECT_EQ(cached_thumbnail(picture, CacheSize::Large), "");
    EXPECT_EQ(cached_thumbnail(m_dir.path() + "gone.jpg", CacheSize::Large), "");
}

TEST_F(CacheTest, TheCacheMakesNoThumbnailOfItsOwnFilesAndAFailureLeavesNothing) {
    const std::string picture = m_dir.file("a.jpg");
    test::make_jpeg(picture, 300, 200);
    const std::string thumbnail = store(picture);
    EXPECT_FALSE(store_cache_thumbnails(thumbnail, drawn(thumbnail)));
    EXPECT_EQ(test::files_under(m_cache).size(), 2u);

    // A cache folder that cannot be made.
    test::write_file(m_dir.path() + "blocked", "");
    m_env.set("XDG_CACHE_HOME", m_dir.path() + "blocked/cache");
    EXPECT_FALSE(store_cache_thumbnails(picture, drawn(picture)));
    EXPECT_EQ(cached_thumbnail(picture, CacheSize::Large), "");
}

} // namespace
} // namespace orvix
