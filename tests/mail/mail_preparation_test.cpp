#include "mail/mail_preparation.h"

#include "fs/fs.h"
#include "imaging/imaging.h"
#include "settings/prefs.h"
#include "support/exif.h"
#include "support/images.h"
#include "support/temp_dir.h"
#include "text/text.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>
#include <utime.h>

namespace orvix {
namespace {

using Strings = std::vector<std::string>;

constexpr const char* kTexts = "default_object=Pictures of #1\r"
                               "confirm_send=Send #1 KB of pictures to #2?\r"
                               "mail_left_out=Left out:<BR>#1\r"
                               "reason_no_free_name=no free name\r"
                               "reason_gone=gone\r";

LanguageTable texts(const char* text = kTexts) {
    LanguageTable table;
    table.parse_language_text(text);
    return table;
}

std::string prefs_with_recipients(const Strings& recipients) {
    std::string prefs;
    set_key_value("MAILDESTS", prefs, join(recipients, std::string(1, CR)), "$", "=", true);
    return prefs;
}

struct Sent {
    std::string url, subject, cc, files, body;
};

class RecordingSender final : public MailSender {
public:
    void SendaMail(const std::string& Url, const std::string& Sujet, const std::string& Cc,
                   const std::string& Joindre, const std::string& Texte) override {
        sent.push_back({Url, Sujet, Cc, Joindre, Texte});
        // What the mail client will read later must be there when it is handed over.
        for (const std::string& path : split_quoted(Joindre))
            readable_then.push_back(file_exists(path));
    }
    static Strings split_quoted(const std::string& text) {
        Strings paths;
        size_t at = 0;
        while ((at = text.find('"', at)) != std::string::npos) {
            const size_t end = text.find('"', at + 1);
            paths.push_back(text.substr(at + 1, end - at - 1));
            at = end + 1;
        }
        return paths;
    }
    std::vector<Sent> sent;
    std::vector<bool> readable_then;
};

int mode_of(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 ? static_cast<int>(info.st_mode & 0777) : -1;
}

std::string size_of(const std::string& path) {
    return get_image_size(path);
}

// Each size entry resizes as its resize text would.
TEST(MailChoices, ResizeOfEachSizeEntry) {
    const Strings texts = {"", "500*", "640*", "800*", "1024*", "2048*", "", ""};
    const int indexes[] = {0, 1, 2, 3, 4, 5, 6, -1};
    for (size_t i = 0; i < texts.size(); ++i)
        EXPECT_EQ(mail_resize(indexes[i]), resize_of_text(texts[i])) << indexes[i];
}

struct StoredCase {
    const char* label;
    const char* value; // nullptr: the key is absent
    int size_index;
    int quality;
    bool nojpeg;
};

class StoredChoices : public ::testing::TestWithParam<StoredCase> {};

TEST_P(StoredChoices, ReadTheirDefaults) {
    const StoredCase& c = GetParam();
    std::string prefs;
    if (c.value) {
        set_key_value("LASTMAILSIZE", prefs, c.value);
        set_key_value("QUALITYMAIL", prefs, c.value);
        set_key_value("NOJPEGMAIL", prefs, c.value);
    }
    EXPECT_EQ(stored_mail_size(prefs, 6), c.size_index);
    EXPECT_EQ(stored_mail_quality(prefs), c.quality);
    EXPECT_EQ(stored_nojpeg(prefs), c.nojpeg);
}

INSTANTIATE_TEST_SUITE_P(Values, StoredChoices,
                         ::testing::Values(StoredCase{"absent", nullptr, 0, 65, false},
                                           StoredCase{"zero", "0", 0, 65, false},
                                           StoredCase{"one", "1", 1, 1, true},
                                           StoredCase{"last_entry", "5", 5, 5, false},
                                           StoredCase{"beyond_the_list", "9", 0, 9, false},
                                           StoredCase{"negative", "-1", 0, 65, false},
                                           StoredCase{"half_to_even", "2.5", 2, 2, false},
                                           StoredCase{"hundred", "100", 0, 100, false},
                                           StoredCase{"above_hundred", "101", 0, 65, false},
                                           StoredCase{"not_a_number", "abc", 0, 65, false}),
                         [](const ::testing::TestParamInfo<StoredCase>& info) {
                             return std::string(info.param.label);
                         });

TEST(MailChoices, SubjectCarriesTodaysDate) {
    set_clock([] { return LocalTime{2024, 5, 1, 23, 59, 58}; });
    EXPECT_EQ(mail_subject(texts()), "Pictures of 2024-05-01");
    EXPECT_EQ(mail_subject(texts("default_object=Holiday\r")), "Holiday");
    set_clock({});
}

struct RecipientCase {
    const char* label;
    Strings before;
    const char* recipient;
    Strings after;
};

class RecentRecipients : public ::testing::TestWithParam<RecipientCase> {};

TEST_P(RecentRecipients, FollowTheirRules) {
    const RecipientCase& c = GetParam();
    std::string prefs = prefs_with_recipients(c.before);
    remember_recipient(prefs, c.recipient);
    EXPECT_EQ(recent_recipients(prefs), c.after);
}

Strings numbered(int count) {
    Strings list;
    for (int i = 1; i <= count; ++i)
        list.push_back("r" + std::to_string(i) + "@x.org");
    return list;
}

Strings with_front(const std::string& first, Strings rest) {
    rest.insert(rest.begin(), first);
    return rest;
}

INSTANTIATE_TEST_SUITE_P(
    Rules, RecentRecipients,
    ::testing::Values(
        RecipientCase{"first", {}, "ann@x.org", {"ann@x.org"}},
        RecipientCase{"new_goes_first", {"bob@x.org"}, "ann@x.org", {"ann@x.org", "bob@x.org"}},
        RecipientCase{"known_keeps_its_place",
                      {"bob@x.org", "ann@x.org", "cy@x.org"},
                      "ann@x.org",
                      {"bob@x.org", "ann@x.org", "cy@x.org"}},
        RecipientCase{"case_matters", {"ann@x.org"}, "Ann@x.org", {"Ann@x.org", "ann@x.org"}},
        RecipientCase{"tenth_stays", numbered(9), "new@x.org",
                      with_front("new@x.org", numbered(9))},
        RecipientCase{"eleventh_falls_away", numbered(10), "new@x.org",
                      with_front("new@x.org", numbered(9))},
        RecipientCase{"comma_and_semicolon_kept",
                      {"a@x.org"},
                      "Smith, Ann <ann@x.org>; bob@x.org",
                      {"Smith, Ann <ann@x.org>; bob@x.org", "a@x.org"}},
        RecipientCase{"empty_not_remembered", {"a@x.org"}, "", {"a@x.org"}}),
    [](const ::testing::TestParamInfo<RecipientCase>& info) {
        return std::string(info.param.label);
    });

TEST(RecentRecipients, SurviveTheFileOnDisk) {
    test::TempDir dir;
    std::string prefs;
    remember_recipient(prefs, "Smith, Ann <ann@x.org>");
    remember_recipient(prefs, "bob@x.org");
    ASSERT_TRUE(write_text_file(dir.path() + "prefs.prf", prefs));
    EXPECT_EQ(recent_recipients(read_text_file(dir.path() + "prefs.prf", false)),
              (Strings{"bob@x.org", "Smith, Ann <ann@x.org>"}));
}

class Preparation : public ::testing::Test {
protected:
    Preparation() {
        test::make_jpeg(m_first, 1200, 900);
        test::make_jpeg(m_second, 600, 800);
        m_pictures = {{m_first, ""}, {m_second, ""}};
        m_choices.recipient = "ann@example.org";
        m_choices.subject = "Pictures of 2024-05-01";
        m_choices.message = "Here they are.";
        m_choices.selection = {1, 2};
        m_choices.size_index = 1;
        m_choices.quality = 80;
    }

    MailResult prepare(Answer answer = Answer::Yes) {
        m_dialogs.queue_answer(answer);
        return prepare_mail(m_choices, m_pictures, m_root, m_language, m_dialogs, m_sender,
                            m_prefs);
    }

    Strings folders_in_root() const {
        Strings folders;
        std::error_code ec;
        for (const auto& entry : std::filesystem::directory_iterator(m_root, ec))
            folders.push_back(entry.path().string());
        return folders;
    }

    test::TempDir m_dir;
    const std::string m_root = m_dir.path() + "cache/orvix/mail/";
    const std::string m_first = m_dir.file("card1/IMG_1.JPG");
    const std::string m_second = m_dir.file("card2/IMG_1.JPG");
    std::vector<TransferredPicture> m_pictures;
    MailChoices m_choices;
    LanguageTable m_language = texts();
    ScriptedDialogs m_dialogs;
    RecordingSender m_sender;
    std::string m_prefs;
};

TEST_F(Preparation, AttachesTwoPicturesOfTheSameName) {
    const MailResult result = prepare();
    ASSERT_EQ(result.outcome, PrepareOutcome::Sent);
    const std::string& folder = result.folder;
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.rfind(m_root + "mail-", 0), 0u) << folder;
    EXPECT_EQ(mode_of(folder), 0700);
    const std::string a = folder + "IMG_1.jpg";
    const std::string b = folder + "~IMG0001.jpg";
    EXPECT_EQ(result.attachments, "\"" + a + "\" \"" + b + "\"");
    EXPECT_EQ(size_of(a), "500,375");
    EXPECT_EQ(size_of(b), "375,500");

    const double total = static_cast<double>(file_length(a) + file_length(b)) / 1024.0;
    EXPECT_DOUBLE_EQ(result.total_kb, total);
    ASSERT_EQ(m_dialogs.messages().size(), 1u);
    const auto& question = m_dialogs.messages()[0];
    EXPECT_EQ(question.text,
              "Send " + std::to_string(to_int(total)) + " KB of pictures to ann@example.org?");
    EXPECT_EQ(question.title, "Orvix");
    EXPECT_EQ(question.icon, Icon::Exclamation);
    EXPECT_EQ(question.buttons, Buttons::YesNo);

    ASSERT_EQ(m_sender.sent.size(), 1u);
    const Sent& sent = m_sender.sent[0];
    EXPECT_EQ(sent.url, "ann@example.org");
    EXPECT_EQ(sent.subject, "Pictures of 2024-05-01");
    EXPECT_EQ(sent.cc, "");
    EXPECT_EQ(sent.files, result.attachments);
    EXPECT_EQ(sent.body, "Here they are.");
    EXPECT_EQ(recent_recipients(m_prefs), Strings{"ann@example.org"});

    // The mail client reads the pictures when the user sends the mail: they stay.
    EXPECT_TRUE(file_exists(a));
    EXPECT_TRUE(file_exists(b));
}

TEST_F(Preparation, NoDeletesTheCopiesAndPrepareMakesThemAgain) {
    const MailResult declined = prepare(Answer::No);
    EXPECT_EQ(declined.outcome, PrepareOutcome::Declined);
    EXPECT_FALSE(folder_exists(declined.folder));
    EXPECT_TRUE(folders_in_root().empty());
    EXPECT_TRUE(m_sender.sent.empty());
    EXPECT_TRUE(recent_recipients(m_prefs).empty());

    const MailResult again = prepare(Answer::Yes);
    ASSERT_EQ(m_sender.sent.size(), 1u);
    EXPECT_EQ(m_sender.readable_then, (std::vector<bool>{true, true}));
    EXPECT_TRUE(file_exists(again.folder + "IMG_1.jpg"));
    EXPECT_TRUE(file_exists(again.folder + "~IMG0001.jpg"));
}

TEST_F(Preparation, NojpegAttachesTheOriginalsUntouched) {
    const std::string tiff = m_dir.file("card3/scan.tif");
    test::make_picture(tiff, 64, 48);
    m_pictures.push_back({tiff, ""});
    m_choices.nojpeg = true;
    m_choices.selection = {1, 3};
    const std::string before_jpeg = test::read_file(m_first);
    const std::string before_tiff = test::read_file(tiff);

    const MailResult declined = prepare(Answer::No);
    EXPECT_EQ(declined.attachments, "\"" + m_first + "\" \"" + tiff + "\"");
    EXPECT_TRUE(declined.folder.empty()) << "no copy was needed";
    EXPECT_TRUE(folders_in_root().empty());

    const MailResult sent = prepare(Answer::Yes);
    EXPECT_EQ(m_sender.sent.at(0).files, "\"" + m_first + "\" \"" + tiff + "\"");
    EXPECT_EQ(test::read_file(m_first), before_jpeg);
    EXPECT_EQ(test::read_file(tiff), before_tiff);
    const double total = static_cast<double>(file_length(m_first) + file_length(tiff)) / 1024.0;
    EXPECT_DOUBLE_EQ(sent.total_kb, total);
}

TEST_F(Preparation, SizeEntryZeroStillRecompresses) {
    const std::string png = m_dir.file("card3/shot.png");
    test::make_picture(png, 320, 240);
    m_pictures = {{png, ""}, {m_first, ""}};
    m_choices.size_index = 0;
    m_choices.quality = 30;
    const MailResult result = prepare();
    const std::string a = result.folder + "shot.jpg";
    const std::string b = result.folder + "IMG_1.jpg";
    EXPECT_EQ(result.attachments, "\"" + a + "\" \"" + b + "\"");
    EXPECT_EQ(size_of(a), "320,240");
    EXPECT_EQ(size_of(b), "1200,900");
    EXPECT_EQ(test::read_file(a).substr(0, 2), "\xFF\xD8") << "a JPEG";
    EXPECT_LT(file_length(b), file_length(m_first)) << "recompressed at the slider's quality";
}

// A portrait the camera stored sideways goes upright, its copy without an orientation a
// mail reader would apply a second time.
TEST_F(Preparation, ASidewaysCameraPictureGoesUpright) {
    test::add_exif(m_first, test::ExifFields{6, 1200, 900, true});
    m_choices.selection = {1};
    const MailResult result = prepare();
    const std::string copy = result.folder + "IMG_1.jpg";
    EXPECT_EQ(size_of(copy), "375,500");
    EXPECT_EQ(exif_orientation(copy), 1);
    EXPECT_EQ(test::read_exif(copy), std::nullopt) << "no EXIF block at all";
}

// A picture that cannot be prepared is named with its reason before the question, and the
// mail goes without it.
TEST_F(Preparation, NamesWhatCannotBeAttachedBeforeTheQuestion) {
    const std::string broken = m_dir.file("card3/broken.jpg");
    test::write_file(broken, "\xFF\xD8 not a picture");
    m_pictures.push_back({broken, ""});
    // 0 and numbers without a record behind them are no pictures.
    m_choices.selection = {3, 0, 2, 7, -1};
    const MailResult result = prepare();
    EXPECT_EQ(result.attachments, "\"" + result.folder + "IMG_1.jpg\"");
    ASSERT_EQ(m_dialogs.messages().size(), 2u);
    const std::string& told = m_dialogs.messages()[0].text;
    EXPECT_EQ(told.rfind("Left out:" + std::string(CRLF), 0), 0u) << told;
    EXPECT_NE(told.find("broken.jpg: "), std::string::npos) << told;
    EXPECT_EQ(told.find("IMG_1"), std::string::npos) << told;
    EXPECT_EQ(m_dialogs.messages()[1].buttons, Buttons::YesNo);
    EXPECT_EQ(m_sender.sent.size(), 1u);
    EXPECT_FALSE(file_exists(result.folder + "broken.jpg")) << "no half-made copy";
}

struct NothingCase {
    const char* label;
    std::vector<int32_t> selection;
    bool nojpeg;
    const char* told; // the start of the one box shown
};

class NothingToSend : public Preparation, public ::testing::WithParamInterface<NothingCase> {};

// When no picture at all could be prepared, the reason is told and nothing is asked or sent.
TEST_P(NothingToSend, AsksNothingAndLeavesNoCopy) {
    const std::string broken = m_dir.file("card3/broken.jpg");
    test::write_file(broken, "\xFF\xD8 not a picture");
    m_pictures.push_back({broken, ""});
    m_pictures.push_back({m_dir.path() + "card3/gone.jpg", ""});
    m_choices.selection = GetParam().selection;
    m_choices.nojpeg = GetParam().nojpeg;
    const MailResult result = prepare();
    EXPECT_EQ(result.outcome, PrepareOutcome::NothingPrepared);
    ASSERT_EQ(m_dialogs.messages().size(), 1u);
    EXPECT_EQ(m_dialogs.messages()[0].text.rfind(GetParam().told, 0), 0u)
        << m_dialogs.messages()[0].text;
    EXPECT_TRUE(m_sender.sent.empty());
    EXPECT_TRUE(folders_in_root().empty());
}

INSTANTIATE_TEST_SUITE_P(Cases, NothingToSend,
                         ::testing::Values(NothingCase{"Unconvertible", {3}, false, "Left out:"},
                                           NothingCase{"OriginalGone", {4}, true, "Left out:"},
                                           NothingCase{"NoPictureBehindTheItems",
                                                       {0, 7},
                                                       false,
                                                       "No file ; you should not see this msg !"}),
                         [](const ::testing::TestParamInfo<NothingCase>& info) {
                             return info.param.label;
                         });

// Asks to stop once a number of pictures are done.
class StopAfter final : public BatchSink {
public:
    explicit StopAfter(size_t pictures) : m_pictures(pictures) {}
    void file_done(size_t done, const FileOutcome&) override { m_done = done; }
    bool stop_requested() const override { return m_done >= m_pictures; }

private:
    size_t m_pictures;
    size_t m_done = 0;
};

class StoppedPreparation : public Preparation, public ::testing::WithParamInterface<size_t> {};

// A stop, even one asked while the last picture was in hand, leaves no copy and no mail.
TEST_P(StoppedPreparation, LeavesNoCopyAndSendsNothing) {
    StopAfter sink(GetParam());
    const MailAttachments attachments = prepare_attachments(m_choices, m_pictures, m_root, sink);
    EXPECT_TRUE(attachments.batch.stopped);
    EXPECT_EQ(attachments.batch.outcomes.size(), GetParam());
    EXPECT_TRUE(attachments.files.empty());
    EXPECT_TRUE(folders_in_root().empty());
    const MailResult result =
        finish_mail(m_choices, attachments, m_language, m_dialogs, m_sender, m_prefs);
    EXPECT_EQ(result.outcome, PrepareOutcome::Stopped);
    EXPECT_TRUE(m_dialogs.messages().empty());
    EXPECT_TRUE(m_sender.sent.empty());
}

INSTANTIATE_TEST_SUITE_P(AfterPictures, StoppedPreparation, ::testing::Values(1u, 2u));

TEST_F(Preparation, AnEmptySelectionIsToldAndNothingIsMade) {
    m_choices.selection = {};
    const MailResult result = prepare();
    EXPECT_EQ(result.outcome, PrepareOutcome::NothingSelected);
    ASSERT_EQ(m_dialogs.messages().size(), 1u);
    EXPECT_EQ(m_dialogs.messages()[0].text, "No file ; you should not see this msg !");
    EXPECT_EQ(m_dialogs.messages()[0].buttons, Buttons::Ok);
    EXPECT_TRUE(m_sender.sent.empty());
    EXPECT_FALSE(folder_exists(m_root));
}

TEST_F(Preparation, NamesWithQuotesCannotSplitTheAttachments) {
    // Such a name would end one quoted path and start another.
    const std::string hostile = m_dir.file("card3/a\" \"etc\" \"b.jpg");
    test::make_jpeg(hostile, 40, 30);
    m_pictures = {{hostile, ""}};
    m_choices.selection = {1};
    const MailResult copied = prepare(Answer::No);
    EXPECT_EQ(copied.attachments, "\"" + copied.folder + "a_ _etc_ _b.jpg\"");

    m_choices.nojpeg = true;
    const std::string before = test::read_file(hostile);
    const MailResult original = prepare(Answer::Yes);
    EXPECT_EQ(original.attachments, "\"" + original.folder + "a_ _etc_ _b.jpg\"");
    EXPECT_EQ(test::read_file(original.folder + "a_ _etc_ _b.jpg"), before);
    EXPECT_EQ(test::read_file(hostile), before);
}

// Thunderbird splits its list of files at commas and cannot name a file that is not UTF-8.
TEST_F(Preparation, OriginalsWhosePathCannotTravelAreCopiedUnderASafeName) {
    const std::string comma = m_dir.file("Vacances, 2024/IMG_2.jpg");
    const std::string latin1 = m_dir.file("card3/\xE9t\xE9.jpg");
    test::make_jpeg(comma, 40, 30);
    test::make_jpeg(latin1, 40, 30);
    m_pictures = {{comma, ""}, {latin1, ""}, {m_first, ""}};
    m_choices.nojpeg = true;
    m_choices.selection = {1, 2, 3};
    const MailResult result = prepare(Answer::Yes);
    const std::string& folder = result.folder;
    EXPECT_EQ(result.attachments,
              "\"" + folder + "IMG_2.jpg\" \"" + folder + "_t_.jpg\" \"" + m_first + "\"");
    EXPECT_EQ(test::read_file(folder + "_t_.jpg"), test::read_file(latin1));
}

TEST_F(Preparation, RecipientTextIsShownAsTyped) {
    m_choices.recipient = "#1 \"Ann\" <ann@x.org>; #2";
    prepare(Answer::No);
    const std::string& text = m_dialogs.messages().at(0).text;
    EXPECT_NE(text.find("to #1 \"Ann\" <ann@x.org>; #2?"), std::string::npos) << text;
}

TEST_F(Preparation, APictureWithoutAFreeNameIsNamedAndLeftOut) {
    const std::string folder = m_dir.folder("full");
    for (int i = 1; i <= 9999; ++i)
        test::write_file(folder + "~IMG" + pad_number(std::to_string(i), 4, 0, ".") + ".jpg", "");
    m_dialogs.queue_answer(Answer::Ok);
    m_dialogs.queue_answer(Answer::Yes);
    const MailResult result = prepare_mail(
        m_choices, m_pictures, [&folder] { return folder; }, m_language, m_dialogs, m_sender,
        m_prefs);
    // The first takes its own name; the second, of the same name, finds none left.
    EXPECT_EQ(result.attachments, "\"" + folder + "IMG_1.jpg\"");
    EXPECT_NE(m_dialogs.messages().at(0).text.find("IMG_1.JPG: no free name"), std::string::npos)
        << m_dialogs.messages()[0].text;
    EXPECT_EQ(result.outcome, PrepareOutcome::Sent);
    EXPECT_DOUBLE_EQ(result.total_kb,
                     static_cast<double>(file_length(folder + "IMG_1.jpg")) / 1024.0);
}

TEST(MailCopyName, FallsBackToTildeNamesAndRunsOut) {
    test::TempDir dir;
    const std::string folder = dir.folder("mail");
    EXPECT_EQ(mail_copy_name(folder, "IMG_1", "jpg"), folder + "IMG_1.jpg");
    test::write_file(folder + "IMG_1.jpg", "x");
    EXPECT_EQ(mail_copy_name(folder, "IMG_1", "jpg"), folder + "~IMG0001.jpg");
    for (int i = 1; i <= 9999; ++i)
        test::write_file(folder + "~IMG" + pad_number(std::to_string(i), 4, 0, ".") + ".jpg", "");
    EXPECT_EQ(mail_copy_name(folder, "IMG_1", "jpg"), "") << "no name left";
}

struct NameCase {
    const char* label;
    const char* name;
    const char* expected;
};

class MailNames : public ::testing::TestWithParam<NameCase> {};

TEST_P(MailNames, ReachEveryClientWhole) {
    EXPECT_EQ(mail_name(GetParam().name), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MailNames,
    ::testing::Values(NameCase{"plain", "IMG_0001", "IMG_0001"},
                      NameCase{"space_apostrophe_accent_kept", "l'été à Zoë", "l'été à Zoë"},
                      NameCase{"comma", "Anne, Paul", "Anne_ Paul"},
                      NameCase{"comma_and_accents", "Café, été", "Cafe_ ete"},
                      NameCase{"latin_extended", "Łódź, Œuvre", "Lodz_ Ouvre"},
                      NameCase{"not_utf8", "photo\xE9t\xE9", "photo_t_"},
                      NameCase{"cut_sequence", "ab\xC3", "ab_"},
                      NameCase{"quote_and_backslash", "a\"b\\c", "a_b_c"},
                      NameCase{"control_characters", "a\rb\nc\td", "a_b_c_d"},
                      NameCase{"beyond_latin", "写真, 1", "___ 1"}),
    [](const ::testing::TestParamInfo<NameCase>& info) { return std::string(info.param.label); });

TEST(MailCopyName, UnsafeNamesGetAnAsciiFormAndStayUnique) {
    test::TempDir dir;
    const std::string folder = dir.folder("mail");
    EXPECT_EQ(mail_copy_name(folder, "Été, 2024", "jpg"), folder + "Ete_ 2024.jpg");
    test::write_file(folder + "Ete_ 2024.jpg", "x");
    EXPECT_EQ(mail_copy_name(folder, "Été, 2024", "jpg"), folder + "~Ete0001.jpg");
    test::write_file(folder + "éé.jpg", "x");
    // Three bytes of "éé" would cut its second letter in two.
    EXPECT_EQ(mail_copy_name(folder, "éé", "jpg"), folder + "~___0001.jpg");
}

TEST(OldMailFolders, AreRemovedAfterADay) {
    test::TempDir dir;
    const std::string root = dir.folder("mail");
    const std::time_t now = 1'700'000'000;
    auto make = [&](const std::string& name, std::time_t when) {
        const std::string folder = dir.folder("mail/" + name);
        test::write_file(folder + "IMG_1.jpg", "jpeg");
        const utimbuf times{when, when};
        ::utime(folder.c_str(), &times);
        return folder;
    };
    const std::string old = make("mail-old123", now - 2 * 24 * 3600);
    const std::string fresh = make("mail-new456", now - 3600);
    const std::string other = make("keep-me", now - 5 * 24 * 3600);
    const std::string elsewhere = dir.folder("elsewhere");
    test::write_file(elsewhere + "precious.jpg", "mine");
    std::filesystem::create_symlink(elsewhere, root + "mail-link");

    remove_old_mail_folders(root, now);
    EXPECT_FALSE(folder_exists(old));
    EXPECT_TRUE(file_exists(fresh + "IMG_1.jpg"));
    EXPECT_TRUE(file_exists(other + "IMG_1.jpg"));
    EXPECT_TRUE(file_exists(elsewhere + "precious.jpg")) << "links are never followed";
    remove_old_mail_folders(dir.path() + "missing/", now);
}

} // namespace
} // namespace orvix
