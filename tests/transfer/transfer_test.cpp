#include "session/cache_filler.h"
#include "transfer/transfer.h"

#include "fs/fs.h"
#include "imaging/imaging.h"
#include "platform/dialogs.h"
#include "platform/tasks.h"
#include "settings/language.h"
#include "support/exif.h"
#include "support/images.h"
#include "support/page_cache.h"
#include "support/png_keys.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"
#include "text/text.h"
#include "thumbcache/thumbcache.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <gtest/gtest.h>
#include <set>
#include <sys/mount.h>
#include <sys/stat.h>

namespace orvix {
namespace {

namespace stdfs = std::filesystem;

constexpr const char* kTexts = "progress_transfer=From #1 to #2 [%]\r"
                               "same_name=#1 exists.<BR>Another name?\r"
                               "copy_error=Cannot copy #1\r"
                               "end_transfer=#1 pictures\r"
                               "no_error=No error\r"
                               "x_failed=#1 failed\r"
                               "no_room=No room\r"
                               "source_notfound=No source\r"
                               "dest_notfound=No destination\r"
                               "no_picture_transferable=No picture\r"
                               "dest_inside_source=Destination inside source\r"
                               "x_not_deleted=#1 kept\r"
                               "transfer_stopped=Stopped: #1 of #2\r"
                               "x_no_capture_date=#1 without capture date\r"
                               "same_answer=Same for the rest\r"
                               "x_skipped_clash=#1 skipped at a clash\r"
                               "dest_create=Make #1?\r"
                               "dest_not_made=Cannot make #1: #2\r";

class RecordingProgress : public ProgressSink {
public:
    void set_min(int value) override { min = value; }
    void set_max(int value) override { max = value; }
    void set_value(int value) override { values.push_back(value); }
    void set_caption(const std::string& text) override { caption = text; }
    void set_visible(bool visible) override { shown.push_back(visible); }
    void set_quality_text(const std::string& text) override { quality_texts.push_back(text); }
    void set_bytes_done(int64_t done, int64_t total) override {
        bytes.push_back(done);
        total_bytes = total;
    }

    int min = -1;
    int max = -1;
    std::string caption;
    std::vector<int> values;
    std::vector<bool> shown;
    std::vector<std::string> quality_texts;
    std::vector<int64_t> bytes;
    int64_t total_bytes = -1;
};

int64_t mtime_of(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? st.st_mtime : -1;
}

std::string local_date_text(time_t seconds) {
    tm t{};
    localtime_r(&seconds, &t);
    return date_text({t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec});
}

class Transfer : public ::testing::Test {
protected:
    void SetUp() override {
        m_env.set("XDG_CACHE_HOME", m_dir.folder("xdg-cache"));
        m_language.parse_language_text(kTexts);
        m_options.source_text = m_card;
        // As typed in the box: the run adds the separator.
        m_options.destination_text = m_dest.substr(0, m_dest.size() - 1);
    }
    void TearDown() override {
        set_after_copy_hook({});
        set_copy_fault_after(-1);
    }

    TransferOutcome run() {
        return run_transfer(
            m_options, m_thumbs, m_language, m_dialogs, m_progress, m_pictures,
            [this] { m_messages_before_report = m_dialogs.messages().size(); }, m_thumbnail_tasks);
    }
    // Fresh card and destination folders for the next part of a test.
    void start_over(const std::string& name) {
        m_card_name = name + "/card/";
        m_card = m_dir.folder(m_card_name);
        m_dest = m_dir.folder(name + "/dest");
        m_options.source_text = m_card;
        m_options.destination_text = m_dest;
        m_dialogs.clear();
    }
    std::string card(const std::string& relative) const {
        return m_dir.file(m_card_name + relative);
    }
    std::string dest(const std::string& relative) const { return m_dest + relative; }
    std::string add(const std::string& relative, int width = 64, int height = 48) {
        test::make_picture(card(relative), width, height);
        return card(relative);
    }
    // Every file under the folder, relative to it, sorted.
    static std::vector<std::string> files_in(const std::string& folder) {
        std::vector<std::string> names;
        for (const auto& entry : stdfs::recursive_directory_iterator(folder)) {
            if (entry.is_regular_file())
                names.push_back(stdfs::relative(entry.path(), folder).string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }
    const ScriptedDialogs::Message& last_message() const { return m_dialogs.messages().back(); }
    void expect_report(const std::string& text, Icon icon) const {
        ASSERT_FALSE(m_dialogs.messages().empty());
        EXPECT_EQ(last_message().text, text);
        EXPECT_EQ(last_message().title, "Orvix");
        EXPECT_EQ(last_message().icon, icon);
    }
    std::vector<std::string> message_texts() const {
        std::vector<std::string> texts;
        for (const auto& m : m_dialogs.messages())
            texts.push_back(m.text);
        return texts;
    }

    test::TempDir m_dir;
    std::string m_card_name = "card/";
    std::string m_card = m_dir.folder(m_card_name);
    std::string m_dest = m_dir.folder("dest");
    std::string m_thumbs = m_dir.folder("thumbs");
    LanguageTable m_language;
    ScriptedDialogs m_dialogs;
    RecordingProgress m_progress;
    std::vector<TransferredPicture> m_pictures;
    TransferOptions m_options;
    size_t m_messages_before_report = 0;
    TaskQueue* m_thumbnail_tasks = nullptr;
    test::ScopedEnv m_env;
};

TEST_F(Transfer, KeepsNamesWithLowerCaseExtensionsAndDrivesTheProgress) {
    const std::string a = add("IMG_0001.JPG");
    add("DCIM/100/IMG_0002.bmp");
    add("DCIM/101/deep/x.tif");
    test::write_file(card("notes.txt"), "not a picture");
    test::set_mtime(a, 1000000000);
    m_pictures.push_back({"stale", "stale"});

    const TransferOutcome outcome = run();
    EXPECT_TRUE(outcome.ran);
    EXPECT_EQ(outcome.found, 3);
    EXPECT_EQ(outcome.copied, 3);
    // Pictures of subfolders land flat in the destination.
    EXPECT_EQ(files_in(m_dest),
              (std::vector<std::string>{"IMG_0001.jpg", "IMG_0002.bmp", "x.tif"}));
    EXPECT_EQ(test::read_file(dest("IMG_0001.jpg")), test::read_file(a));
    EXPECT_EQ(mtime_of(dest("IMG_0001.jpg")), 1000000000);
    EXPECT_TRUE(file_exists(a));
    EXPECT_TRUE(m_pictures.empty());

    EXPECT_EQ(m_progress.min, 0);
    EXPECT_EQ(m_progress.max, 3);
    EXPECT_EQ(m_progress.caption, "From " + m_card + " to " + m_dest + " [%]");
    EXPECT_EQ(m_progress.values, (std::vector<int>{0, 1, 2, 3, 0}));
    EXPECT_EQ(m_progress.shown, (std::vector<bool>{true, false}));
    // The bytes dealt with grow by each picture's size up to the total.
    ASSERT_EQ(m_progress.bytes.size(), 4u);
    EXPECT_EQ(m_progress.bytes.front(), 0);
    EXPECT_TRUE(std::is_sorted(m_progress.bytes.begin(), m_progress.bytes.end()));
    EXPECT_EQ(m_progress.bytes.back(), m_progress.total_bytes);
    EXPECT_EQ(m_progress.total_bytes, file_length(a) + file_length(card("DCIM/100/IMG_0002.bmp")) +
                                          file_length(card("DCIM/101/deep/x.tif")));
    EXPECT_EQ(m_messages_before_report, 0u);
    expect_report("3 pictures\r\nNo error", Icon::Information);
}

TEST_F(Transfer, NamesByDatesIntoDateFoldersOnlyWhenEnabledAndChecked) {
    const time_t when = 1009290600; // the end of 2001
    struct Case {
        NamingMode mode;
        bool enabled;
        bool checked;
        bool folder;
    };
    const Case cases[] = {{NamingMode::ModificationDate, true, true, true},
                          {NamingMode::ModificationDate, false, true, false},
                          {NamingMode::ModificationDate, true, false, false},
                          {NamingMode::CreationDate, true, true, true},
                          {NamingMode::CreationDate, false, false, false}};
    for (const Case& c : cases) {
        test::TempDir dir;
        m_options.destination_text = dir.path();
        m_options.naming = c.mode;
        m_options.subdir_enabled = c.enabled;
        m_options.subdir_checked = c.checked;
        const std::string source = add("Img.JPG");
        test::set_mtime(source, when);
        // Birth time cannot be set on Linux: the creation date is what the record says.
        const std::string date = c.mode == NamingMode::CreationDate ? get_line(2, file_info(source))
                                                                    : local_date_text(when);
        ASSERT_EQ(date.size(), 14u);
        run();
        const std::string expected =
            (c.folder ? date.substr(0, 8) + "/" : std::string()) + date + ".jpg";
        EXPECT_EQ(files_in(dir.path()), std::vector<std::string>{expected});
    }
}

TEST_F(Transfer, NamesByPatternTokens) {
    const time_t when = 1009290600;
    const std::string source = add("Img_01.jpg");
    test::set_mtime(source, when);
    const std::string creation = get_line(2, file_info(source));
    const std::string modification = local_date_text(when);
    struct Case {
        std::string pattern;
        std::string expected;
    };
    const Case cases[] = {
        {"{sameupper}_{samelower}", "IMG_01_img_01.jpg"},
        {"x{SAME}", "x{SAME}.jpg"},
        {"{modificationdate}", modification.substr(0, 8) + "/" + modification + ".jpg"},
        // Both dates: filed by the creation date.
        {"{modificationdate}_{creationdate}",
         creation.substr(0, 8) + "/" + modification + "_" + creation + ".jpg"},
    };
    m_options.naming = NamingMode::Pattern;
    m_options.subdir_enabled = m_options.subdir_checked = true;
    for (const Case& c : cases) {
        test::TempDir dir;
        m_options.destination_text = dir.path();
        m_options.pattern = c.pattern;
        run();
        EXPECT_EQ(files_in(dir.path()), std::vector<std::string>{c.expected}) << c.pattern;
    }
}

TEST_F(Transfer, SettlesCollisionsWithTheUser) {
    // Two subfolders of the card holding the same name: the second gets the proposal.
    add("100/a.jpg", 64, 48);
    add("101/a.jpg", 32, 24);
    run();
    EXPECT_EQ(files_in(m_dest), (std::vector<std::string>{"a-bis.jpg", "a.jpg"}));
    EXPECT_NE(test::read_file(dest("a.jpg")), test::read_file(dest("a-bis.jpg")));
    ASSERT_EQ(m_dialogs.inputs().size(), 1u);
    EXPECT_EQ(m_dialogs.inputs()[0].title, "Twins !!!");
    EXPECT_EQ(m_dialogs.inputs()[0].prompt, "a.jpg exists.\r\nAnother name?");
    EXPECT_EQ(m_dialogs.inputs()[0].default_answer, "a-bis");

    // Names already taken: the proposal skips every "-bis" that exists; an answer with a
    // dot or a taken name is asked again; the user's files stay as they were.
    start_over("taken");
    const std::string b = add("b.jpg");
    for (const char* taken : {"b.jpg", "b-bis.jpg", "e.jpg"})
        test::write_file(dest(taken), "mine");
    m_dialogs.queue_input("e.jpg");
    m_dialogs.queue_input("e");
    m_dialogs.queue_input("f");
    EXPECT_EQ(run().copied, 1);
    EXPECT_EQ(files_in(m_dest), (std::vector<std::string>{"b-bis.jpg", "b.jpg", "e.jpg", "f.jpg"}));
    for (const char* taken : {"b.jpg", "b-bis.jpg", "e.jpg"})
        EXPECT_EQ(test::read_file(dest(taken)), "mine") << taken;
    EXPECT_EQ(test::read_file(dest("f.jpg")), test::read_file(b));
    const auto& inputs = m_dialogs.inputs();
    ASSERT_EQ(inputs.size(), 3u);
    EXPECT_EQ(inputs[0].default_answer, "b-bis-bis");
    EXPECT_EQ(inputs[1].prompt, inputs[0].prompt);
    EXPECT_EQ(inputs[2].prompt, "e.jpg exists.\r\nAnother name?");
    EXPECT_EQ(inputs[2].default_answer, "e-bis");

    // An empty answer skips the picture: neither copied nor failed.
    start_over("empty");
    add("d.jpg");
    test::write_file(dest("d.jpg"), "mine");
    m_dialogs.queue_input("");
    const TransferOutcome outcome = run();
    EXPECT_EQ(outcome.copied, 0);
    EXPECT_EQ(outcome.failed, 0);
    EXPECT_EQ(files_in(m_dest), std::vector<std::string>{"d.jpg"});
    expect_report("0 pictures\r\nNo error\r\n\r\n1 skipped at a clash", Icon::Information);
}

TEST_F(Transfer, TheProposalForANameWithDotsIsTakenAsItStands) {
    // Every question answered with its default, as a user pressing Enter would: the run
    // must end, each picture under its proposal.
    add("IMG.0010.JPG");
    add(".IMG_9999.JPG");
    add("\xff\xfeIMG_0021.JPG");
    for (const char* taken : {"IMG.0010.jpg", ".IMG_9999.jpg", "\xff\xfeIMG_0021.jpg"})
        test::write_file(dest(taken), "mine");
    EXPECT_EQ(run().copied, 3);
    EXPECT_EQ(m_dialogs.inputs().size(), 3u);
    EXPECT_EQ(files_in(m_dest),
              (std::vector<std::string>{".IMG_9999-bis.jpg", ".IMG_9999.jpg", "IMG.0010-bis.jpg",
                                        "IMG.0010.jpg", "\xff\xfeIMG_0021-bis.jpg",
                                        "\xff\xfeIMG_0021.jpg"}));

    // A typed name holding a dot is still refused.
    start_over("typed");
    add("IMG.0010.JPG");
    test::write_file(dest("IMG.0010.jpg"), "mine");
    m_dialogs.queue_input("IMG.0011");
    m_dialogs.queue_input("IMG_0011");
    EXPECT_EQ(run().copied, 1);
    EXPECT_EQ(m_dialogs.inputs().size(), 2u);
    EXPECT_TRUE(file_exists(dest("IMG_0011.jpg")));
}

TEST_F(Transfer, CancellingEveryQuestionCopiesNothingAndKeepsOriginals) {
    const std::string a = add("a.jpg");
    const std::string b = add("b.bmp");
    test::write_file(dest("a.jpg"), "mine");
    test::write_file(dest("b.bmp"), "mine");
    m_options.delete_originals = true;
    m_dialogs.queue_input(std::nullopt);
    m_dialogs.queue_input(std::nullopt);
    EXPECT_EQ(run().copied, 0);
    EXPECT_EQ(files_in(m_dest), (std::vector<std::string>{"a.jpg", "b.bmp"}));
    EXPECT_TRUE(file_exists(a) && file_exists(b));
    expect_report("0 pictures\r\nNo error\r\n\r\n2 skipped at a clash", Icon::Information);
}

TEST_F(Transfer, TheSameAnswerSettlesTheLaterClashesOfTheRun) {
    struct Case {
        const char* label;
        bool checked;
        bool cancel_first; // else the proposal is accepted, as the box shows it
        size_t questions;
        int copied;
        int skipped;
        std::vector<std::string> files;
    };
    const std::vector<std::string> mine = {"a.jpg", "b-bis.jpg", "b.jpg", "c.jpg"};
    const std::vector<std::string> proposals = {
        "a-bis.jpg", "a.jpg", "b-bis-bis.jpg", "b-bis.jpg", "b.jpg", "c-bis.jpg", "c.jpg"};
    const Case cases[] = {
        {"checked, proposal accepted", true, false, 1, 3, 0, proposals},
        {"checked, cancelled", true, true, 1, 0, 3, mine},
        {"unchecked, proposal accepted", false, false, 3, 3, 0, proposals},
        {"unchecked, cancelled", false, true, 3, 2, 1, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        start_over(c.label);
        for (const char* name : {"a.jpg", "b.jpg", "c.jpg"})
            add(name);
        for (const std::string& name : mine)
            test::write_file(dest(name), "mine");
        // The other questions, when asked, are answered with their proposals.
        if (c.cancel_first)
            m_dialogs.queue_input(std::nullopt);
        m_dialogs.queue_check(c.checked);
        const TransferOutcome outcome = run();
        ASSERT_EQ(m_dialogs.inputs().size(), c.questions);
        EXPECT_EQ(m_dialogs.inputs()[0].check_text, "Same for the rest");
        EXPECT_EQ(outcome.copied, c.copied);
        EXPECT_EQ(outcome.skipped_at_clash, c.skipped);
        if (!c.files.empty()) {
            EXPECT_EQ(files_in(m_dest), c.files);
        }
        for (const std::string& name : mine)
            EXPECT_EQ(test::read_file(dest(name)), "mine") << name;
        const std::string skipped =
            c.skipped ? "\r\n\r\n" + std::to_string(c.skipped) + " skipped at a clash" : "";
        expect_report(std::to_string(c.copied) + " pictures\r\nNo error" + skipped,
                      Icon::Information);
    }
}

TEST_F(Transfer, ConvertsToEachFormat) {

    const char* extensions[] = {"jpg", "bmp", "tif", "png", "psd"};
    for (int index = 1; index <= 5; ++index) {
        test::TempDir dir;
        m_options.destination_text = dir.path();
        m_options.format_index = index;
        m_options.quality_text = "90";
        add("x.tif");
        add("y.bmp");
        run();
        const std::string ext = extensions[index - 1];
        std::vector<std::string> expected{"x." + ext, "y." + ext};
        EXPECT_EQ(files_in(dir.path()), expected) << index;
        for (const std::string& name : expected) {
            const test::RgbImage image = test::read_rgb(dir.path() + name);
            EXPECT_EQ(image.width, 64) << name;
            EXPECT_EQ(image.height, 48) << name;
        }
    }
}

// A TIFF with an alpha channel converted into a format that holds one keeps it, every
// sample as it was.
TEST_F(Transfer, AConversionKeepsTheAlphaChannelOfATiff) {
    test::write_deep_picture(card("logo.tif"), test::deep_pattern(64, 48, true), 8, true, "LZW");
    const test::Rgba16Image original = test::read_rgba16(card("logo.tif"));
    ASSERT_EQ(original.width, 64);
    const std::pair<int, std::string> targets[] = {{4, "logo.png"}, {5, "logo.psd"}};
    for (const auto& [index, name] : targets) {
        test::TempDir dir;
        m_options.destination_text = dir.path();
        m_options.format_index = index;
        run();
        const test::Rgba16Image converted = test::read_rgba16(dir.path() + name);
        EXPECT_EQ(converted.samples, original.samples) << name;
    }
}

TEST_F(Transfer, CopiesWithoutConversionWhenTheFormatIsTheSame) {
    add("a.jpg");
    add("b.bmp");
    add("c.tif");
    // The JPEG choice never recompresses a .jpg, whatever the quality; with no entry
    // selected nothing is converted.
    const std::pair<int, std::string> cases[] = {{1, "a.jpg"}, {2, "b.bmp"}, {-1, "c.tif"}};
    for (const auto& [index, name] : cases) {
        test::TempDir dir;
        m_options.destination_text = dir.path();
        m_options.format_index = index;
        m_options.quality_text = "20";
        m_dialogs.clear();
        run();
        EXPECT_EQ(test::read_file(dir.path() + name), test::read_file(card(name))) << index;
        EXPECT_EQ(m_dialogs.messages().size(), 1u);
    }
    EXPECT_EQ(m_progress.quality_texts.size(), 0u);
}

TEST_F(Transfer, QualityOutOfRangeBecomesAHundredAndIsWrittenBack) {
    const std::string x = add("x.bmp");
    add("y.bmp");
    const std::string reference = m_dir.file("reference.jpg");
    for (const char* typed : {"0", "250", "abc", "60", "59.5", "-5"}) {
        test::TempDir dir;
        m_options.destination_text = dir.path();
        m_options.format_index = 1;
        m_options.quality_text = typed;
        m_progress.quality_texts.clear();
        run();
        const int quality = numeric_value(typed);
        const bool corrected = quality < 1 || quality > 100;
        // Written back once: the box then reads "100" for the next picture.
        EXPECT_EQ(m_progress.quality_texts.size(), corrected ? 1u : 0u) << typed;
        ASSERT_EQ(convert_image3(x, reference, "", "", false, corrected ? 100 : quality, 0, false,
                                 "", "", 0),
                  0);
        EXPECT_EQ(test::read_file(dir.path() + "x.jpg"), test::read_file(reference)) << typed;
    }
}

TEST_F(Transfer, AConversionFailureKeepsTheCopyAndCountsItCopied) {
    const std::string bad = card("bad.tif");
    test::write_file(bad, "II*\0 this is no picture");
    m_options.format_index = 4;
    m_options.show_thumbs = true;
    m_options.delete_originals = true;
    const TransferOutcome outcome = run();
    EXPECT_EQ(outcome.copied, 1);
    EXPECT_EQ(files_in(m_dest), std::vector<std::string>{"bad.tif"});
    ASSERT_EQ(m_dialogs.messages().size(), 2u);
    EXPECT_EQ(m_dialogs.messages()[0].text, "Conversion error for \"" + dest("bad.png") + "\"");
    EXPECT_EQ(m_dialogs.messages()[0].icon, Icon::None);
    EXPECT_EQ(m_dialogs.messages()[0].title, "Orvix");
    EXPECT_TRUE(m_pictures.empty());
    EXPECT_TRUE(files_in(m_thumbs).empty());
    // The unconverted copy is verified and stands for the original.
    EXPECT_FALSE(file_exists(bad));
    expect_report("1 pictures\r\nNo error", Icon::Information);
}

TEST_F(Transfer, TheConvertedTargetHasItsOwnCollisionRule) {
    const std::string x = add("x.bmp");
    test::write_file(dest("x.jpg"), "mine");
    test::write_file(dest("y.jpg"), "mine");
    m_options.format_index = 1;
    m_options.show_thumbs = true;
    m_options.delete_originals = true;
    // The answer names the converted file and its thumbnail.
    m_dialogs.queue_input("z");
    run();
    EXPECT_EQ(files_in(m_dest), (std::vector<std::string>{"x.jpg", "y.jpg", "z.jpg"}));
    EXPECT_EQ(m_dialogs.inputs()[0].prompt, "x.jpg exists.\r\nAnother name?");
    ASSERT_EQ(m_pictures.size(), 1u);
    EXPECT_EQ(m_pictures[0].picture_path, dest("z.jpg"));
    EXPECT_EQ(m_pictures[0].thumb_path, m_thumbs + "z.jpg");
    EXPECT_FALSE(file_exists(x));

    // A cancel there leaves the copy, and nothing more is done: the original stays.
    const std::string y = add("y.bmp");
    m_dialogs.queue_input(std::nullopt);
    run();
    EXPECT_EQ(files_in(m_dest), (std::vector<std::string>{"x.jpg", "y.bmp", "y.jpg", "z.jpg"}));
    EXPECT_TRUE(m_pictures.empty());
    EXPECT_TRUE(file_exists(y));
}

TEST_F(Transfer, MakesThumbnailsOnlyWhenShownAndNeverOverwritesOne) {
    add("IMG_0011.JPG", 64, 48);
    add("IMG_0011.TIF", 64, 32);
    run();
    EXPECT_TRUE(files_in(m_thumbs).empty());
    EXPECT_TRUE(m_pictures.empty());

    test::TempDir dir;
    m_options.destination_text = dir.path();
    m_options.show_thumbs = true;
    run();
    ASSERT_EQ(m_pictures.size(), 2u);
    EXPECT_EQ(files_in(m_thumbs), (std::vector<std::string>{"IMG_0011.jpg", "IMG_0011_2.jpg"}));
    // Each thumbnail shows its own picture: 100 wide, height in proportion.
    for (const TransferredPicture& picture : m_pictures) {
        const bool tif = picture.picture_path == dir.path() + "IMG_0011.tif";
        EXPECT_TRUE(tif || picture.picture_path == dir.path() + "IMG_0011.jpg");
        const test::RgbImage thumb = test::read_rgb(picture.thumb_path);
        EXPECT_EQ(thumb.width, 100);
        EXPECT_EQ(thumb.height, tif ? 50 : 75) << picture.picture_path;
    }
}

TEST_F(Transfer, DeletesOriginalsOnlyAfterAVerifiedCopy) {
    const std::string a = add("a.jpg");
    const std::string b = add("DCIM/b.bmp");
    const std::string a_bytes = test::read_file(a);
    m_options.delete_originals = true;
    const TransferOutcome outcome = run();
    EXPECT_EQ(outcome.copied, 2);
    EXPECT_FALSE(file_exists(a));
    EXPECT_FALSE(file_exists(b));
    EXPECT_EQ(test::read_file(dest("a.jpg")), a_bytes);
    expect_report("2 pictures\r\nNo error", Icon::Information);
}

TEST_F(Transfer, KeepsOriginalsWhoseCopyFailedOrWasSpoiled) {
    struct Case {
        const char* label;
        std::function<void(const std::string&, const std::string&)> hook;
    };
    const Case cases[] = {
        {"copy altered",
         [](const std::string&, const std::string& copy) {
             std::string bytes = test::read_file(copy);
             bytes[bytes.size() / 2] ^= 0x55;
             test::write_file(copy, bytes);
         }},
        {"source touched", [](const std::string& source,
                              const std::string&) { test::set_mtime(source, 1234567890); }},
        {"source grown", [](const std::string& source,
                            const std::string&) { test::write_file(source, "longer now"); }},
        {"copy removed",
         [](const std::string&, const std::string& copy) { delete_file(copy, false, true); }},
    };
    m_options.delete_originals = true;
    for (const Case& c : cases) {
        test::TempDir dir;
        m_options.destination_text = dir.path();
        const std::string a = add("a.jpg");
        set_after_copy_hook(c.hook);
        m_dialogs.clear();
        const TransferOutcome outcome = run();
        EXPECT_TRUE(file_exists(a)) << c.label;
        EXPECT_EQ(outcome.failed, 1) << c.label;
        EXPECT_EQ(outcome.copied, 0) << c.label;
        ASSERT_EQ(m_dialogs.messages().size(), 2u) << c.label;
        EXPECT_EQ(m_dialogs.messages()[0].text, "Cannot copy " + dir.path() + "a.jpg");
        EXPECT_EQ(m_dialogs.messages()[0].icon, Icon::Critical);
        expect_report("1 pictures\r\n\r\n1 failed", Icon::Critical);
    }
}

TEST_F(Transfer, AWriteProtectedCardKeepsItsOriginalsAndTheReportNamesThem) {
    test::SmallVolume volume(1 << 20);
    if (!volume.ok())
        GTEST_SKIP() << "needs a tmpfs mount";
    std::vector<std::string> sources;
    stdfs::create_directory(volume.path() + "DCIM");
    for (const char* name : {"a.jpg", "DCIM/b.jpg"}) {
        sources.push_back(volume.path() + name);
        test::make_picture(sources.back(), 64, 48);
    }
    ASSERT_EQ(::mount(nullptr, volume.path().c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr), 0);
    m_options.source_text = volume.path();
    m_options.delete_originals = true;
    const TransferOutcome outcome = run();
    EXPECT_EQ(outcome.copied, 2);
    EXPECT_EQ(outcome.failed, 0);
    EXPECT_EQ(outcome.originals_kept, sources);
    EXPECT_EQ(files_in(m_dest), (std::vector<std::string>{"a.jpg", "b.jpg"}));
    for (const std::string& source : sources)
        EXPECT_TRUE(file_exists(source));
    expect_report("2 pictures\r\n\r\n2 kept\r\n" + sources[0] + "\r\n" + sources[1],
                  Icon::Critical);
    EXPECT_EQ(m_dialogs.messages().size(), 1u);
}

TEST_F(Transfer, ADateFolderThatCannotBeMadeIsACopyErrorWithTheSystemsReason) {
    const std::string a = add("a.jpg");
    test::set_mtime(a, 1009290600);
    const std::string folder = local_date_text(1009290600).substr(0, 8);
    test::write_file(dest(folder), "a file where the folder would go");
    m_options.naming = NamingMode::ModificationDate;
    m_options.subdir_enabled = m_options.subdir_checked = true;
    m_options.delete_originals = true;
    EXPECT_EQ(run().failed, 1);
    EXPECT_TRUE(file_exists(a));
    ASSERT_EQ(m_dialogs.messages().size(), 3u);
    EXPECT_EQ(m_dialogs.messages()[0].title, "Error");
    EXPECT_EQ(m_dialogs.messages()[0].text, std::strerror(EEXIST));
    EXPECT_TRUE(m_dialogs.messages()[1].text.starts_with("Cannot copy " + dest(folder + "/")));
    expect_report("1 pictures\r\n\r\n1 failed", Icon::Critical);
}

TEST_F(Transfer, KeepsOriginalsWhenACopyBreaksOff) {
    const std::string small = add("small.jpg", 16, 16);
    const std::string big = add("big.jpg", 320, 240);
    ASSERT_LT(file_length(small), 4000);
    ASSERT_GT(file_length(big), 4000);
    set_copy_fault_after(4000);
    m_options.delete_originals = true;
    const TransferOutcome outcome = run();
    EXPECT_EQ(outcome.copied, 1);
    EXPECT_EQ(outcome.failed, 1);
    EXPECT_FALSE(file_exists(small));
    EXPECT_TRUE(file_exists(big));
    EXPECT_EQ(files_in(m_dest), std::vector<std::string>{"small.jpg"});
    const auto texts = message_texts();
    EXPECT_NE(std::find(texts.begin(), texts.end(), "Cannot copy " + dest("big.jpg")), texts.end());
    expect_report("2 pictures\r\n\r\n1 failed", Icon::Critical);
}

TEST_F(Transfer, KeepsOriginalsWhenTheDestinationFillsUpHalfWay) {
    test::SmallVolume volume(1 << 20);
    if (!volume.ok())
        GTEST_SKIP() << "needs a tmpfs mount";
    std::vector<std::string> sources;
    for (const char* name : {"1.jpg", "2.jpg", "3.jpg", "4.jpg"})
        sources.push_back(add(name, 200, 150));
    m_options.destination_text = volume.path();
    m_options.delete_originals = true;
    bool filled = false;
    // Another program takes the room left once the first copy is written.
    set_after_copy_hook([&](const std::string&, const std::string&) {
        if (filled)
            return;
        filled = true;
        const auto room = static_cast<size_t>(free_space(volume.path()));
        test::write_file(volume.path() + "filler", std::string(room - 2048, 'x'));
    });
    const TransferOutcome outcome = run();
    EXPECT_EQ(outcome.copied, 1);
    EXPECT_EQ(outcome.failed, 3);
    // Only the original of the one complete copy is gone, and no partial copy is left.
    const auto copies = files_in(volume.path());
    ASSERT_EQ(copies.size(), 2u);
    EXPECT_EQ(copies[1], "filler");
    for (const std::string& source : sources)
        EXPECT_EQ(file_exists(source), file_name(source, true) != copies[0]) << source;
    expect_report("4 pictures\r\n\r\n3 failed", Icon::Critical);
}

TEST_F(Transfer, RefusesNamesThatWouldLeaveTheTargetFolder) {
    const std::string a = add("a.jpg");
    add("b.jpg");
    m_dir.folder("dest/sub");
    m_options.naming = NamingMode::Pattern;
    m_options.pattern = "sub/{same}";
    m_options.delete_originals = true;
    EXPECT_EQ(run().failed, 2);
    EXPECT_TRUE(file_exists(a));
    EXPECT_TRUE(files_in(m_dest).empty());
    const auto texts = message_texts();
    EXPECT_NE(std::find(texts.begin(), texts.end(), "Cannot copy " + dest("sub/a.jpg")),
              texts.end());

    // The same for an answer to the "Twins !!!" question.
    m_options.naming = NamingMode::Keep;
    test::write_file(dest("a.jpg"), "mine");
    m_dialogs.queue_input("../a");
    m_dialogs.queue_input("sub/a");
    m_dialogs.clear();
    const TransferOutcome outcome = run();
    EXPECT_EQ(outcome.failed, 1);
    EXPECT_EQ(outcome.copied, 1);
    EXPECT_EQ(m_dialogs.inputs().size(), 2u);
    EXPECT_EQ(files_in(m_dest), (std::vector<std::string>{"a.jpg", "b.jpg"}));
    EXPECT_TRUE(file_exists(a));
    expect_report("2 pictures\r\n\r\n1 failed", Icon::Critical);
}

TEST_F(Transfer, EndsEarlyWithAMessage) {
    const std::string picture = add("a.jpg");
    m_dir.folder("card/inner");
    std::error_code ec;
    stdfs::create_directory_symlink(m_card, m_dir.path() + "link", ec);
    ASSERT_FALSE(ec);
    struct Case {
        std::string source;
        std::string destination;
        std::string text;
        Icon icon;
    };
    const Case cases[] = {
        {m_card + "missing", m_dest, "No source", Icon::Exclamation},
        {"", m_dest, "No source", Icon::Exclamation},
        // Only a full path is offered to be made.
        {m_card, "missing-destination", "No destination", Icon::Exclamation},
        {m_card, m_card, "Destination inside source", Icon::Exclamation},
        {m_card, m_card + "inner/", "Destination inside source", Icon::Exclamation},
        {m_card, m_dir.path() + "link/inner", "Destination inside source", Icon::Exclamation},
        {m_dir.folder("card/inner"), m_dest, "No picture", Icon::Exclamation},
    };
    for (const Case& c : cases) {
        m_options.source_text = c.source;
        m_options.destination_text = c.destination;
        m_dialogs.clear();
        m_progress = RecordingProgress();
        const TransferOutcome outcome = run();
        EXPECT_FALSE(outcome.ran) << c.text;
        ASSERT_EQ(m_dialogs.messages().size(), 1u) << c.text;
        EXPECT_EQ(last_message().text, c.text);
        EXPECT_EQ(last_message().title, "Orvix");
        EXPECT_EQ(last_message().icon, c.icon);
        // No bar shown; it ends at its minimum and hidden.
        EXPECT_EQ(m_progress.shown, std::vector<bool>{false}) << c.text;
        EXPECT_EQ(m_progress.values.back(), 0);
        EXPECT_TRUE(files_in(m_dest).empty());
        EXPECT_TRUE(file_exists(picture));
    }
    EXPECT_TRUE(files_in(m_card + "inner").empty());

    // A folder beside the source whose name merely starts like it is no part of it.
    m_options.source_text = m_card;
    m_options.destination_text = m_dir.folder("card2");
    EXPECT_TRUE(run().ran);
}

TEST_F(Transfer, RefusesADestinationWithoutRoomForEveryPicture) {
    test::SmallVolume volume(64 * 1024);
    if (!volume.ok())
        GTEST_SKIP() << "needs a tmpfs mount";
    // Content is never looked at before the copy: a large file stands for a large picture.
    test::write_file(card("a.jpg"), std::string(40 * 1024, 'a'));
    test::write_file(card("b.jpg"), std::string(40 * 1024, 'b'));
    m_options.destination_text = volume.path();
    const TransferOutcome outcome = run();
    EXPECT_FALSE(outcome.ran);
    ASSERT_EQ(m_dialogs.messages().size(), 1u);
    EXPECT_EQ(last_message().text, "No room");
    EXPECT_EQ(last_message().icon, Icon::Critical);
    EXPECT_EQ(m_progress.shown, (std::vector<bool>{true, false}));
    EXPECT_TRUE(files_in(volume.path()).empty());
}

// --- Stopping, and thumbnails made beside the run ----------------------------------------

std::vector<std::string> listing_of(const std::string& card) {
    std::vector<std::string> listed;
    list_files(card, listed, "jpg,tif,bmp", true, "", 0);
    return listed;
}

TEST_F(Transfer, AStopEndsTheRunAfterThePictureInHand) {
    struct Case {
        const char* label;
        int stop_during; // the picture (from 1) being copied when the stop is asked; 0 before
        int copied;
        bool stopped;
        const char* report;
    };
    const Case cases[] = {
        {"before the first picture", 0, 0, true, "Stopped: 0 of 4"},
        {"during the second", 2, 2, true, "Stopped: 2 of 4"},
        // Nothing is left to stop: the run ends as any other.
        {"during the last", 4, 4, false, "4 pictures\r\nNo error"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        start_over(c.label);
        for (const char* name : {"a.jpg", "b.jpg", "c.jpg", "d.jpg"})
            add(name);
        const std::vector<std::string> listed = listing_of(m_card);
        m_options.delete_originals = true;
        m_options.show_thumbs = true;
        bool stop = c.stop_during == 0;
        m_options.stop_requested = [&stop] { return stop; };
        set_after_copy_hook([&](const std::string& source, const std::string&) {
            if (source == listed[static_cast<size_t>(std::max(c.stop_during, 1) - 1)])
                stop = true;
        });
        test::TempDir thumbs;
        m_thumbs = thumbs.path();

        const TransferOutcome outcome = run();
        EXPECT_EQ(outcome.stopped, c.stopped);
        EXPECT_EQ(outcome.copied, c.copied);
        // The pictures before the stop are whole, under their final names, their originals
        // gone after verification; those after it are not touched.
        std::vector<std::string> copies;
        for (int i = 0; i < 4; ++i) {
            const std::string& original = listed[static_cast<size_t>(i)];
            EXPECT_EQ(file_exists(original), i >= c.copied) << original;
            if (i < c.copied)
                copies.push_back(file_name(original, true));
        }
        std::sort(copies.begin(), copies.end());
        EXPECT_EQ(files_in(m_dest), copies) << "no other file, no partial one";
        ASSERT_EQ(m_pictures.size(), static_cast<size_t>(c.copied));
        for (int i = 0; i < c.copied; ++i)
            EXPECT_EQ(m_pictures[static_cast<size_t>(i)].picture_path,
                      dest(file_name(listed[static_cast<size_t>(i)], true)));
        EXPECT_EQ(m_progress.shown.back(), false);
        EXPECT_EQ(m_progress.values.back(), 0);
        EXPECT_EQ(m_messages_before_report, 0u) << "the window's hook still runs first";
        expect_report(c.report, Icon::Information);
        set_after_copy_hook({});
    }
}

TEST_F(Transfer, AStopAfterAFailureReportsTheFailureToo) {
    for (const char* name : {"a.jpg", "b.jpg", "c.jpg"})
        add(name);
    const std::vector<std::string> listed = listing_of(m_card);
    m_options.delete_originals = true;
    bool stop = false;
    m_options.stop_requested = [&stop] { return stop; };
    // The first copy is spoiled, so its original stays and it counts as failed.
    set_after_copy_hook([&](const std::string& source, const std::string& copy) {
        if (source == listed[0])
            test::write_file(copy, "spoiled");
        stop = true;
    });
    const TransferOutcome outcome = run();
    EXPECT_TRUE(outcome.stopped);
    EXPECT_EQ(outcome.failed, 1);
    EXPECT_TRUE(file_exists(listed[0]) && file_exists(listed[1]) && file_exists(listed[2]));
    expect_report("Stopped: 0 of 3\r\n\r\n1 failed", Icon::Critical);
}

TEST_F(Transfer, TheSameAnswerHoldsForTheConvertedNamesToo) {
    // A typed name is this picture's; the others take their own proposals.
    for (const char* name : {"a.bmp", "b.bmp"})
        add(name);
    for (const char* taken : {"a.jpg", "b.jpg"})
        test::write_file(dest(taken), "mine");
    m_options.format_index = 1;
    m_dialogs.queue_input("first");
    m_dialogs.queue_check(true);
    EXPECT_EQ(run().skipped_at_clash, 0);
    EXPECT_EQ(m_dialogs.inputs().size(), 1u);
    const std::string second = file_name(listing_of(m_card)[0], false) == "a" ? "b" : "a";
    std::vector<std::string> expected = {"a.jpg", "b.jpg", "first.jpg", second + "-bis.jpg"};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(files_in(m_dest), expected);

    // Cancelled at the converted name, the copies stand: copied, and skipped at a clash.
    start_over("cancelled");
    for (const char* name : {"a.bmp", "b.bmp"})
        add(name);
    for (const char* taken : {"a.jpg", "b.jpg"})
        test::write_file(dest(taken), "mine");
    m_options.format_index = 1;
    m_dialogs.queue_input(std::nullopt);
    m_dialogs.queue_check(true);
    const TransferOutcome outcome = run();
    EXPECT_EQ(m_dialogs.inputs().size(), 1u);
    EXPECT_EQ(outcome.copied, 2);
    EXPECT_EQ(outcome.skipped_at_clash, 2);
    EXPECT_EQ(files_in(m_dest), (std::vector<std::string>{"a.bmp", "a.jpg", "b.bmp", "b.jpg"}));
    expect_report("2 pictures\r\nNo error\r\n\r\n2 skipped at a clash", Icon::Information);
}

TEST_F(Transfer, AStoppedRunCountsThePicturesSkippedAtAClash) {
    for (const char* name : {"a.jpg", "b.jpg", "c.jpg"}) {
        add(name);
        test::write_file(dest(name), "mine");
    }
    m_dialogs.queue_input(std::nullopt);
    // Stopped once the first question was answered.
    m_options.stop_requested = [this] { return !m_dialogs.inputs().empty(); };
    const TransferOutcome outcome = run();
    EXPECT_TRUE(outcome.stopped);
    EXPECT_EQ(outcome.skipped_at_clash, 1);
    expect_report("Stopped: 0 of 3\r\n\r\n1 skipped at a clash", Icon::Information);
}

TEST_F(Transfer, AMissingDestinationIsOfferedToBeMade) {
    struct Case {
        const char* label;
        std::string destination; // as typed
        Answer answer;
        bool made;
        std::string last_message; // "" for none after the offer; else how it starts
    };
    const std::string not_a_folder = m_dir.file("plain-file");
    test::write_file(not_a_folder, "x");
    const Case cases[] = {
        {"yes, with its parents", m_dir.path() + "new/photos/2026", Answer::Yes, true,
         "1 pictures\r\nNo error"},
        {"no", m_dir.path() + "refused", Answer::No, false, ""},
        {"cannot be made", not_a_folder + "/photos", Answer::Yes, false,
         "Cannot make " + not_a_folder + "/photos/: "},
    };
    const std::string picture = add("a.jpg");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        m_options.destination_text = c.destination;
        m_dialogs.clear();
        m_dialogs.queue_answer(c.answer);
        const TransferOutcome outcome = run();
        const std::string folder = c.destination + "/";
        ASSERT_FALSE(m_dialogs.messages().empty());
        const ScriptedDialogs::Message& offer = m_dialogs.messages().front();
        EXPECT_EQ(offer.text, "No destination\r\nMake " + folder + "?");
        EXPECT_EQ(offer.buttons, Buttons::YesNo);
        EXPECT_EQ(offer.icon, Icon::Exclamation);
        EXPECT_EQ(outcome.ran, c.made);
        EXPECT_EQ(folder_exists(folder), c.made);
        if (c.made) {
            EXPECT_EQ(files_in(folder), std::vector<std::string>{"a.jpg"});
            EXPECT_EQ(test::read_file(folder + "a.jpg"), test::read_file(picture));
        }
        EXPECT_EQ(m_dialogs.messages().size(), c.last_message.empty() ? 1u : 2u);
        if (!c.last_message.empty()) {
            EXPECT_TRUE(last_message().text.starts_with(c.last_message)) << last_message().text;
            if (!c.made) {
                EXPECT_GT(last_message().text.size(), c.last_message.size()) << "with a reason";
            }
        }
        EXPECT_TRUE(file_exists(picture));
    }
}

TEST_F(Transfer, ThumbnailsMadeBesideTheRunKeepTheListingOrderAndTheirOwnNames) {
    // Three pictures of each base name, so thumbnails made side by side compete for names.
    for (int i = 0; i < 4; ++i) {
        for (const char* extension : {"jpg", "bmp", "tif"})
            add("p" + std::to_string(i) + "." + extension, 64, 16 + 4 * static_cast<int>(i));
    }
    WorkerTasks tasks(2, 2);
    m_thumbnail_tasks = &tasks;
    m_options.show_thumbs = true;
    const std::vector<std::string> listed = listing_of(m_card);
    EXPECT_EQ(run().copied, 12);

    ASSERT_EQ(m_pictures.size(), 12u);
    std::set<std::string> thumbs;
    for (size_t i = 0; i < listed.size(); ++i) {
        const TransferredPicture& picture = m_pictures[i];
        EXPECT_EQ(picture.picture_path, dest(file_name(listed[i], true)));
        thumbs.insert(picture.thumb_path);
        // Each thumbnail shows its own picture.
        const int height = test::read_rgb(picture.picture_path).height;
        EXPECT_NEAR(test::read_rgb(picture.thumb_path).height, height * 100.0 / 64, 1.0)
            << picture.picture_path;
    }
    EXPECT_EQ(thumbs.size(), 12u);
    EXPECT_EQ(files_in(m_thumbs).size(), 12u);
}

TEST_F(Transfer, AFailedConversionLeavesNoThumbnailMadeBesideIt) {
    WorkerTasks tasks(2);
    m_thumbnail_tasks = &tasks;
    add("good.jpg");
    add("fine.jpg");
    // A folder where the converted file should go: the conversion fails, while the
    // thumbnail, drawn from the copy beside it, succeeds and must be taken back.
    m_dir.folder("dest/good.png");
    m_options.format_index = 4;
    m_options.show_thumbs = true;
    run();
    EXPECT_EQ(files_in(m_dest), (std::vector<std::string>{"fine.png", "good.jpg"}));
    EXPECT_EQ(message_texts().front(), "Conversion error for \"" + dest("good.png") + "\"");
    EXPECT_EQ(files_in(m_thumbs), std::vector<std::string>{"fine.jpg"});
    ASSERT_EQ(m_pictures.size(), 1u);
    EXPECT_EQ(m_pictures[0].picture_path, dest("fine.png"));
}

// The copy pays for the grid's small thumbnails only; the desktop's cache thumbnails are drawn
// afterwards from the run's pictures: those of a copy, and those of a converted picture, named
// after it and not after the copy it was drawn from, keyed with the converted file's own time.
TEST_F(Transfer, TheRunsPicturesGetBothCacheThumbnailsOfTheirFinalFilesAfterTheRun) {
    WorkerTasks tasks(2);
    m_thumbnail_tasks = &tasks;
    m_options.show_thumbs = true;
    add("kept.jpg", 640, 480);
    add("tall.jpg", 300, 600);
    run();
    ASSERT_EQ(m_pictures.size(), 2u);

    start_over("converted");
    add("turned.bmp", 320, 200);
    m_options.format_index = 4;
    run();
    ASSERT_EQ(m_pictures.size(), 1u);
    EXPECT_EQ(m_pictures[0].picture_path, dest("turned.png"));

    const std::string cache = m_dir.path() + "xdg-cache/thumbnails/";
    EXPECT_FALSE(std::filesystem::exists(cache));
    {
        CacheFiller filler;
        filler.add({m_dir.path() + "dest/kept.jpg", m_dir.path() + "dest/tall.jpg"});
        filler.add({dest("turned.png")});
        filler.wait_until_idle();
    }
    EXPECT_FALSE(file_exists(cache_thumbnail_path(dest("turned.bmp"), CacheSize::Large)));
    EXPECT_EQ(test::files_under(cache).size(), 6u);
    struct Expected {
        std::string picture;
        const char* normal;
        const char* large;
    };
    for (const Expected& expected : {Expected{m_dir.path() + "dest/kept.jpg", "128x96", "256x192"},
                                     Expected{m_dir.path() + "dest/tall.jpg", "64x128", "128x256"},
                                     Expected{dest("turned.png"), "128x80", "256x160"}}) {
        for (const auto& [size, text] : {std::pair{CacheSize::Normal, expected.normal},
                                         std::pair{CacheSize::Large, expected.large}}) {
            const std::string cached = cached_thumbnail(expected.picture, size);
            ASSERT_NE(cached, "") << expected.picture;
            std::optional<test::PngFacts> facts = test::read_png_facts(cached);
            ASSERT_TRUE(facts);
            EXPECT_EQ(std::to_string(facts->width) + "x" + std::to_string(facts->height), text)
                << expected.picture;
            EXPECT_EQ(facts->keys["Thumb::MTime"], std::to_string(mtime_of(expected.picture)));
        }
    }
}

// --- What became of each picture -----------------------------------------------------------

// While one picture is copied the disk already reads the next: the card never waits for
// the program between two pictures.
TEST_F(Transfer, TheNextPictureIsReadWhileOneIsCopied) {
    const std::vector<std::string> pictures = {add("a.jpg", 640, 480), add("b.jpg", 640, 480),
                                               add("c.jpg", 640, 480)};
    for (const std::string& picture : pictures) {
        if (!test::send_out_of_memory(picture))
            GTEST_SKIP() << "this file system keeps its files in memory";
    }
    std::vector<std::string> copied;
    std::vector<std::string> read_ahead;
    set_after_copy_hook([&](const std::string& source, const std::string&) {
        copied.push_back(source);
        for (const std::string& picture : pictures) {
            if (std::find(copied.begin(), copied.end(), picture) == copied.end() &&
                test::starts_coming_into_memory(picture) && test::comes_into_memory(picture))
                read_ahead.push_back(picture);
        }
    });
    EXPECT_EQ(run().copied, 3);
    ASSERT_EQ(copied.size(), 3u);
    // After the first copy the second picture is on its way, and only it.
    EXPECT_EQ(read_ahead, (std::vector<std::string>{copied[1], copied[2]}));
}

TEST_F(Transfer, EachPictureEndsWithItsOwnOutcomeAndTheCountsAgreeWithIt) {
    struct Case {
        const char* label;
        std::function<void(const std::string& picture)> arrange;
        Outcome status;
        int system_error;
        const char* code_reason; // the reason of the imaging code, "" for no code
        const char* reason_key;
        int copied;
        int failed;
    };
    const time_t date = 1009290600;
    const Case cases[] = {
        {"copied", [](const std::string&) {}, Outcome::Done, 0, "", "", 1, 0},
        {"copy breaks off", [](const std::string&) { set_copy_fault_after(100); }, Outcome::Failed,
         ENOSPC, "", "", 0, 1},
        {"date folder cannot be made",
         [&](const std::string& picture) {
             test::set_mtime(picture, date);
             test::write_file(dest(local_date_text(date).substr(0, 8)), "not a folder");
             m_options.naming = NamingMode::ModificationDate;
             m_options.subdir_enabled = m_options.subdir_checked = true;
         },
         Outcome::Failed, EEXIST, "", "", 0, 1},
        {"name holding a slash",
         [&](const std::string&) {
             m_options.naming = NamingMode::Pattern;
             m_options.pattern = "sub/{same}";
         },
         Outcome::Failed, 0, "", "reason_write", 0, 1},
        {"copy spoiled",
         [&](const std::string&) {
             m_options.delete_originals = true;
             set_after_copy_hook([](const std::string&, const std::string& copy) {
                 test::write_file(copy, "spoiled");
             });
         },
         Outcome::Failed, 0, "", "reason_unverified", 0, 1},
        {"copy gone",
         [&](const std::string&) {
             set_after_copy_hook([](const std::string&, const std::string& copy) {
                 delete_file(copy, false, true);
             });
             m_options.delete_originals = true;
         },
         Outcome::Failed, 0, "", "reason_unverified", 0, 1},
        // The copy stands: counted as copied.
        {"conversion fails",
         [&](const std::string&) {
             stdfs::create_directory(dest("a.png"));
             m_options.format_index = 4;
         },
         Outcome::Failed, 0, "reason_write", "", 1, 0},
        {"collision cancelled",
         [&](const std::string&) {
             test::write_file(dest("a.jpg"), "mine");
             m_dialogs.queue_input(std::nullopt);
         },
         Outcome::Skipped, 0, "", "", 0, 0},
        {"converted collision cancelled",
         [&](const std::string&) {
             test::write_file(dest("a.png"), "mine");
             m_options.format_index = 4;
             m_dialogs.queue_input(std::nullopt);
         },
         Outcome::Skipped, 0, "", "", 1, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        m_options = TransferOptions{};
        start_over(c.label);
        const std::string picture = add("a.jpg", 160, 120);
        c.arrange(picture);
        const TransferOutcome outcome = run();
        set_copy_fault_after(-1);
        set_after_copy_hook({});
        ASSERT_EQ(outcome.files.size(), 1u);
        const FileOutcome& file = outcome.files[0];
        EXPECT_EQ(file.path, picture);
        EXPECT_EQ(file.status, c.status);
        EXPECT_EQ(file.system_error, c.system_error);
        EXPECT_EQ(file.code == 0 ? "" : reason_of_code(file.code), c.code_reason);
        EXPECT_EQ(file.reason_key, c.reason_key);
        EXPECT_EQ(outcome.copied, c.copied);
        EXPECT_EQ(outcome.failed, c.failed);
    }
}

TEST_F(Transfer, AnOriginalTheCardKeepsFailsWithTheSystemsErrorYetCountsCopied) {
    test::SmallVolume volume(1 << 20);
    if (!volume.ok())
        GTEST_SKIP() << "needs a tmpfs mount";
    const std::string source = volume.path() + "a.jpg";
    test::make_picture(source, 64, 48);
    ASSERT_EQ(::mount(nullptr, volume.path().c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr), 0);
    m_options.source_text = volume.path();
    m_options.delete_originals = true;
    const TransferOutcome outcome = run();
    ASSERT_EQ(outcome.files.size(), 1u);
    EXPECT_EQ(outcome.files[0].path, source);
    EXPECT_EQ(outcome.files[0].status, Outcome::Failed);
    EXPECT_EQ(outcome.files[0].system_error, EROFS);
    EXPECT_EQ(outcome.copied, 1);
    EXPECT_EQ(outcome.failed, 0);
}

// Several pictures: the outcomes keep the order of the listing, and the counts are those of
// the outcomes.
TEST_F(Transfer, TheOutcomesFollowTheListingAndAStopLeavesTheRestWithout) {
    for (const char* name : {"a.jpg", "b.jpg", "c.jpg", "d.jpg", "e.jpg"})
        add(name, 160, 120);
    const std::vector<std::string> listed = listing_of(m_card);
    // The copies after the first break off; the stop comes during the third picture.
    int asked = 0;
    m_options.stop_requested = [&asked] { return ++asked > 3; };
    set_after_copy_hook([&](const std::string& source, const std::string&) {
        if (source == listed[0])
            set_copy_fault_after(100);
    });
    const TransferOutcome outcome = run();
    EXPECT_TRUE(outcome.stopped);
    ASSERT_EQ(outcome.files.size(), 3u);
    for (size_t i = 0; i < 3; ++i)
        EXPECT_EQ(outcome.files[i].path, listed[i]);
    EXPECT_EQ(outcome.files[0].status, Outcome::Done);
    EXPECT_EQ(outcome.files[1].status, Outcome::Failed);
    EXPECT_EQ(outcome.files[1].system_error, ENOSPC);
    EXPECT_EQ(outcome.files[2].status, Outcome::Failed) << "the fault is still on";
    EXPECT_EQ(outcome.copied, 1);
    EXPECT_EQ(outcome.failed, 2);
    for (size_t i = 3; i < listed.size(); ++i)
        EXPECT_TRUE(file_exists(listed[i]));
    expect_report("Stopped: 1 of 5\r\n\r\n2 failed", Icon::Critical);
}

// Capture dates that differ from every file date: two pictures of the same second, one
// whose date is only its DateTime, a scan without EXIF and a camera without a clock.
TEST_F(Transfer, NamesAndFilesByTheCaptureDateAndCountsThePicturesWithoutOne) {
    const std::string first = add("a.jpg"), twin = add("b.jpg"), late = add("c.jpg");
    const std::string scan = add("d.bmp"), no_clock = add("e.jpg");
    test::write_exif_dates(first, {"2019:07:14 10:20:30", "", "2019:07:15 08:00:00"});
    test::write_exif_dates(twin, {"", "2019:07:14 10:20:30", ""});
    test::write_exif_dates(late, {"", "", "2020:01:02 03:04:05"});
    test::write_exif_dates(no_clock, {"0000:00:00 00:00:00", "", ""});
    for (const std::string& path : {first, twin, late, scan, no_clock})
        test::set_mtime(path, 1009290600);
    const std::string scan_created = get_line(2, file_info(scan));
    const std::string no_clock_created = get_line(2, file_info(no_clock));
    m_options.naming = NamingMode::CaptureDate;
    m_options.subdir_enabled = m_options.subdir_checked = true;

    const TransferOutcome outcome = run();
    EXPECT_EQ(outcome.copied, 5);
    EXPECT_EQ(outcome.without_capture_date, 2);
    std::vector<std::string> expected = {
        "20190714/20190714102030.jpg", "20190714/20190714102030-bis.jpg",
        "20200102/20200102030405.jpg", scan_created.substr(0, 8) + "/" + scan_created + ".bmp",
        no_clock_created.substr(0, 8) + "/" + no_clock_created + ".jpg"};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(files_in(m_dest), expected);
    ASSERT_EQ(m_dialogs.inputs().size(), 1u) << "the twin is asked about as any other";
    EXPECT_EQ(m_dialogs.inputs()[0].default_answer, "20190714102030-bis");
    expect_report("5 pictures\r\nNo error\r\n\r\n2 without capture date", Icon::Information);
}

// The date is read only for a name that needs it, and the note comes only with a count: of
// the pictures dealt with before a stop.
TEST_F(Transfer, TheCaptureDateNoteFollowsTheNamingAndTheStop) {
    for (const NamingMode mode : {NamingMode::Keep, NamingMode::CreationDate}) {
        start_over(mode == NamingMode::Keep ? "keep" : "creation");
        add("a.bmp");
        m_options.naming = mode;
        EXPECT_EQ(run().without_capture_date, 0);
        expect_report("1 pictures\r\nNo error", Icon::Information);
    }

    start_over("pattern");
    for (const char* name : {"a.bmp", "b.bmp", "c.bmp"})
        add(name);
    m_options.naming = NamingMode::Pattern;
    m_options.pattern = "{same}_{capturedate}";
    const std::vector<std::string> listed = listing_of(m_card);
    bool stop = false;
    m_options.stop_requested = [&stop] { return stop; };
    set_after_copy_hook([&](const std::string& source, const std::string&) {
        if (source == listed[1])
            stop = true;
    });
    const TransferOutcome outcome = run();
    EXPECT_TRUE(outcome.stopped);
    EXPECT_EQ(outcome.without_capture_date, 2);
    expect_report("Stopped: 2 of 3\r\n\r\n2 without capture date", Icon::Information);
}

// A camera's JPEG carries a thumbnail of its own: the grid's thumbnail is drawn from it (here
// red, the picture grey), turned as the picture stands; a copy turned upright has new pixels
// and is drawn from them.
struct CameraPreviewCase {
    const char* name;
    int orientation;
    bool auto_rotate;
    int thumb_height;
    bool from_preview;
};

class CameraPreview : public Transfer, public testing::WithParamInterface<CameraPreviewCase> {};

TEST_P(CameraPreview, TheGridsThumbnailComesFromThePreviewWhileItShowsThePixels) {
    const CameraPreviewCase& c = GetParam();
    const std::string picture = card("IMG_0001.JPG");
    test::write_picture(picture,
                        test::RgbImage{640, 480, std::vector<uint8_t>(640 * 480 * 3, 128)});
    const std::string preview = m_dir.file("preview.jpg");
    test::RgbImage red{160, 120, std::vector<uint8_t>(160 * 120 * 3, 20)};
    for (size_t i = 0; i < red.pixels.size(); i += 3)
        red.pixels[i] = 230;
    test::write_picture(preview, red);
    const std::string command = "/usr/bin/exiftool -q -q -overwrite_original -n -Orientation=" +
                                std::to_string(c.orientation) + " \"-ThumbnailImage<=" + preview +
                                "\" \"" + picture + "\"";
    ASSERT_EQ(std::system(command.c_str()), 0);
    m_options.show_thumbs = true;
    m_options.auto_rotate = c.auto_rotate;
    run();
    ASSERT_EQ(m_pictures.size(), 1u);
    const test::RgbImage thumb = test::read_rgb(m_pictures[0].thumb_path);
    ASSERT_EQ(thumb.width, 100);
    ASSERT_EQ(thumb.height, c.thumb_height);
    const uint8_t* middle = thumb.at(50, thumb.height / 2);
    EXPECT_EQ(middle[0] > 200, c.from_preview) << int(middle[0]);
    EXPECT_EQ(middle[1] < 60, c.from_preview) << int(middle[1]);
}

INSTANTIATE_TEST_SUITE_P(Transfer, CameraPreview,
                         testing::Values(CameraPreviewCase{"Level", 1, false, 75, true},
                                         CameraPreviewCase{"SidewaysTagged", 6, false, 133, true},
                                         CameraPreviewCase{"SidewaysTurnedUpright", 6, true, 133,
                                                           false}),
                         [](const testing::TestParamInfo<CameraPreviewCase>& info) {
                             return std::string(info.param.name);
                         });

} // namespace
} // namespace orvix
