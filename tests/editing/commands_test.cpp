// The toolbar's commands on real pictures: what changes on disk, in the records and in the
// grid, and what must not change when a command is cancelled, skipped or fails.
#include "edit_fixture.h"
#include "fs/fs.h"
#include "imaging/helpers.h"
#include "imaging/imaging.h"
#include "session/pictures.h"
#include "support/exif.h"
#include "support/images.h"
#include "text/text.h"

#include <algorithm>
#include <filesystem>

#include <sys/stat.h>

#include <gtest/gtest.h>

namespace orvix::test {
namespace {

std::string names_in(const std::string& folder) {
    std::vector<std::string> names = folder_entries(folder);
    std::sort(names.begin(), names.end());
    return join(names, " ");
}

std::string thumb_size(const TransferredPicture& record) {
    return get_image_size(record.thumb_path);
}

struct Command {
    const char* key;
    const char* jpegtran;
};

const Command kCommands[] = {{"qvd", "-rotate 90"},
                             {"cqv", "-rotate 180"},
                             {"dcsd", "-rotate 270"},
                             {"fliph", "-flip horizontal"},
                             {"flipv", "-flip vertical"}};

// What jpegtran does to stand a picture of each EXIF orientation upright ("" for 1).
const char* const kUpright[] = {
    "",           "",           "-flip horizontal", "-rotate 180", "-flip vertical",
    "-transpose", "-rotate 90", "-transverse",      "-rotate 270"};

struct TurnCase {
    int orientation;
    Command command;
};

class TurnsAJpeg : public EditTest, public testing::WithParamInterface<TurnCase> {};

// The command acts on the picture as the user sees it, its EXIF orientation applied: the
// result is what jpegtran makes of the upright picture, with the tag reset. A size of whole
// 16 x 16 blocks: every turn and flip is exact and asks nothing.
TEST_P(TurnsAJpeg, WithoutReencodingAndResetsItsOrientation) {
    const TurnCase& c = GetParam();
    const std::string picture = add_picture("IMG_0001.JPG", 208, 128);
    add_exif(picture, ExifFields{c.orientation, 208, 128, true});
    const std::string upright = m_dir.file("upright.jpg"), expected = m_dir.file("expected.jpg");
    int status = -1;
    run_command(std::string("/usr/bin/jpegtran ") + kUpright[c.orientation] +
                    " -perfect -copy none -outfile " + quoted(upright) + " " + quoted(picture),
                &status);
    ASSERT_EQ(status, 0);
    run_command(std::string("/usr/bin/jpegtran ") + c.command.jpegtran +
                    " -perfect -copy none -outfile " + quoted(expected) + " " + quoted(upright),
                &status);
    ASSERT_EQ(status, 0);
    add_picture("IMG_0002.JPG", 64, 48);
    show("1,2");

    const EditReport report = transform_selected(m_context, c.command.key);
    ASSERT_EQ(report.size(), 2u);
    EXPECT_EQ(report[0].outcome, EditOutcome::Changed);
    EXPECT_EQ(max_difference(read_rgb(picture), read_rgb(expected)), 0);
    const std::string size = get_image_size(picture);
    EXPECT_EQ(size, get_image_size(expected));
    const std::optional<ExifFields> exif = read_exif(picture);
    ASSERT_TRUE(exif);
    EXPECT_EQ(exif->orientation, 1);
    EXPECT_FALSE(exif->thumbnail);
    // The thumbnail and the caption show the turned picture.
    const int width = std::stoi(size), height = std::stoi(size.substr(size.find(',') + 1));
    EXPECT_EQ(thumb_size(m_records[0]), "100," + std::to_string(to_int(100.0 * height / width)));
    EXPECT_NE(m_grid.model().File_Titlestring(1).find("(" + Remplacer(",", " x ", size) + ")"),
              std::string::npos);
    EXPECT_EQ(m_grid.SelectedItems(), "1,2");
    EXPECT_EQ(m_grid.refreshes, 1);
    EXPECT_TRUE(m_dialogs.messages().empty());
    EXPECT_TRUE(m_dialogs.choices().empty());
    EXPECT_EQ(busy_depth(), 0);
    EXPECT_EQ(busy_peak(), 1);
}

std::vector<TurnCase> every_orientation_and_command() {
    std::vector<TurnCase> cases;
    for (int orientation = 1; orientation <= 8; ++orientation)
        for (const Command& command : kCommands)
            cases.push_back({orientation, command});
    return cases;
}

INSTANTIATE_TEST_SUITE_P(EveryOrientation, TurnsAJpeg,
                         testing::ValuesIn(every_orientation_and_command()),
                         [](const testing::TestParamInfo<TurnCase>& info) {
                             return "Tag" + std::to_string(info.param.orientation) + "_" +
                                    info.param.command.key;
                         });

// --- A turn that the picture's size does not allow exactly ----------------------------

struct InexactCase {
    const char* name;
    std::optional<size_t> answer; // 0 cut the edges, 1 re-encode, std::nullopt Cancel
    const char* odd;              // the 1001 x 751 picture afterwards
    const char* camera;           // the 800 x 600 one
};

class InexactTurn : public EditTest, public testing::WithParamInterface<InexactCase> {
protected:
    // The picture turned a quarter clockwise by another program, exactly or decoded.
    std::string reference(const std::string& picture, const char* tool) {
        const std::string out = m_dir.file(file_name(picture, false) + "_reference" +
                                           (std::string(tool) == "jpegtran" ? ".jpg" : ".png"));
        int status = -1;
        if (std::string(tool) == "jpegtran")
            run_command("/usr/bin/jpegtran -rotate 90 -perfect -copy all -outfile " + quoted(out) +
                            " " + quoted(picture),
                        &status);
        else
            run_command("/usr/bin/convert " + quoted(picture) + " -rotate 90 " + quoted(out),
                        &status);
        EXPECT_EQ(status, 0);
        return out;
    }
};

// One question for the whole command, before anything is written; a 1600 x 1200 picture
// among them turns losslessly whatever the answer.
TEST_P(InexactTurn, AsksOnceAndDoesWhatTheAnswerSays) {
    const InexactCase& c = GetParam();
    const std::string odd = add_picture("odd.jpg", 1001, 751);
    add_exif(odd, ExifFields{1, 1001, 751, true});
    const std::string camera = add_picture("camera.jpg", 800, 600);
    const std::string exact = add_picture("exact.jpg", 1600, 1200);
    const std::string odd_decoded = reference(odd, "convert");
    const std::string camera_decoded = reference(camera, "convert");
    const std::string exact_turned = reference(exact, "jpegtran");
    std::vector<std::string> before;
    for (const TransferredPicture& record : m_records) {
        before.push_back(read_file(record.picture_path));
        before.push_back(read_file(record.thumb_path));
    }
    show("1,2,3");
    m_dialogs.queue_choice(c.answer);

    const EditReport report = transform_selected(m_context, "qvd");

    ASSERT_EQ(m_dialogs.choices().size(), 1u);
    const ScriptedDialogs::Choice& box = m_dialogs.choices()[0];
    EXPECT_EQ(box.text, "2 picture(s) cannot be turned without re-encoding or losing up to 15 "
                        "pixels at their edges.");
    EXPECT_EQ(box.choices, (std::vector<std::string>{"Cut the edges", "Re-encode"}));
    EXPECT_EQ(box.title, "Orvix");
    EXPECT_EQ(m_dialogs.busy_when_asked, std::vector<bool>{false}) << "asked with the arrow";
    EXPECT_TRUE(m_dialogs.messages().empty());
    EXPECT_EQ(get_image_size(odd), c.odd);
    EXPECT_EQ(get_image_size(camera), c.camera);
    if (!c.answer) {
        std::vector<std::string> after;
        for (const TransferredPicture& record : m_records) {
            after.push_back(read_file(record.picture_path));
            after.push_back(read_file(record.thumb_path));
        }
        EXPECT_TRUE(after == before) << "pictures and thumbnails as they were";
        EXPECT_TRUE(report.empty());
        EXPECT_EQ(m_grid.refreshes, 0);
        EXPECT_EQ(names_in(m_pictures), "camera.jpg exact.jpg odd.jpg");
        return;
    }
    ASSERT_EQ(report.size(), 3u);
    for (const EditResult& result : report)
        EXPECT_EQ(result.outcome, EditOutcome::Changed) << result.picture;
    EXPECT_EQ(get_image_size(exact), "1200,1600");
    EXPECT_EQ(max_difference(read_rgb(exact), read_rgb(exact_turned)), 0);
    const int width = std::stoi(c.odd), height = std::stoi(std::string(c.odd).substr(4));
    EXPECT_EQ(read_exif(odd), (ExifFields{1, width, height, false}));
    if (*c.answer == 1) {
        EXPECT_LT(mean_difference(read_rgb(odd), read_rgb(odd_decoded)), 0.5);
        EXPECT_LT(mean_difference(read_rgb(camera), read_rgb(camera_decoded)), 0.5);
    }
    EXPECT_EQ(thumb_size(m_records[0]), "100," + std::to_string(to_int(100.0 * height / width)));
    EXPECT_EQ(m_grid.refreshes, 1);
    EXPECT_EQ(busy_depth(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Answers, InexactTurn,
    testing::Values(InexactCase{"CutTheEdges", 0, "736,1001", "592,800"},
                    InexactCase{"Reencode", 1, "751,1001", "600,800"},
                    InexactCase{"Cancel", std::nullopt, "1001,751", "800,600"}),
    [](const testing::TestParamInfo<InexactCase>& info) { return std::string(info.param.name); });

struct EdgeCase {
    const char* key;
    int width;
    int height;
    int lost; // 0: nothing asked
};

class TurnEdges : public EditTest, public testing::WithParamInterface<EdgeCase> {};

// Which turns and flips a size allows exactly: a flip moves one edge, a quarter turn one,
// a half turn both.
TEST_P(TurnEdges, AskOnlyWhenAnEdgeTheyMoveIsNotWholeBlocks) {
    const EdgeCase& c = GetParam();
    const std::string picture = add_picture("photo.jpg", c.width, c.height);
    const std::string bytes = read_file(picture);
    show("1");
    m_dialogs.queue_choice(std::nullopt);
    transform_selected(m_context, c.key);
    if (c.lost == 0) {
        EXPECT_TRUE(m_dialogs.choices().empty());
        const bool quarter = transform_code(c.key) == 5 || transform_code(c.key) == 7;
        EXPECT_EQ(get_image_size(picture),
                  quarter ? std::to_string(c.height) + "," + std::to_string(c.width)
                          : std::to_string(c.width) + "," + std::to_string(c.height));
        EXPECT_NE(read_file(picture), bytes);
        return;
    }
    ASSERT_EQ(m_dialogs.choices().size(), 1u);
    EXPECT_NE(m_dialogs.choices()[0].text.find("up to " + std::to_string(c.lost) + " pixels"),
              std::string::npos)
        << m_dialogs.choices()[0].text;
    EXPECT_EQ(read_file(picture), bytes) << "cancelled";
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, TurnEdges,
    testing::Values(EdgeCase{"qvd", 800, 600, 8}, EdgeCase{"cqv", 800, 600, 8},
                    EdgeCase{"dcsd", 800, 600, 0}, EdgeCase{"fliph", 800, 600, 0},
                    EdgeCase{"flipv", 800, 600, 8}, EdgeCase{"dcsd", 1001, 751, 9},
                    EdgeCase{"cqv", 1001, 751, 15}, EdgeCase{"cqv", 1600, 1200, 0}),
    [](const testing::TestParamInfo<EdgeCase>& info) {
        return std::string(info.param.key) + "_" + std::to_string(info.param.width) + "x" +
               std::to_string(info.param.height);
    });

// A picture narrower than one block is not cut to nothing: it is re-encoded, unasked.
TEST_F(EditTest, AStripNarrowerThanABlockIsReencodedUnasked) {
    const std::string picture = add_picture("strip.jpg", 64, 8);
    const std::string turned = m_dir.file("turned.png");
    int status = -1;
    run_command("/usr/bin/convert " + quoted(picture) + " -rotate 90 " + quoted(turned), &status);
    ASSERT_EQ(status, 0);
    show("1");
    const EditReport report = transform_selected(m_context, "qvd");
    EXPECT_EQ(report.at(0).outcome, EditOutcome::Changed);
    EXPECT_TRUE(m_dialogs.choices().empty());
    EXPECT_EQ(get_image_size(picture), "8,64");
    EXPECT_LT(mean_difference(read_rgb(picture), read_rgb(turned)), 1.0);
}

// TurboJPEG can turn only the layouts it reads itself; a 4:1:0 picture is re-encoded,
// and its EXIF block follows the turn all the same.
TEST_F(EditTest, AJpegThatCannotTurnLosslesslyIsReencodedTurned) {
    const std::string original = m_dir.file("original.ppm");
    run_command("/usr/bin/convert -size 64x48 gradient:red-blue " + quoted(original));
    const std::string picture = m_pictures + "IMG_410.jpg";
    int status = -1;
    run_command("/usr/bin/cjpeg -sample 4x2,1x1,1x1 -outfile " + quoted(picture) + " " +
                    quoted(original),
                &status);
    ASSERT_EQ(status, 0);
    add_exif(picture, ExifFields{1, 64, 48, true});
    const std::string thumb = m_context.thumbs_dir + "IMG_410.jpg";
    ASSERT_EQ(remake_thumbnail({picture, thumb}), 0);
    m_records.push_back({picture, thumb});
    show("1");
    const EditReport report = transform_selected(m_context, "qvd");
    EXPECT_EQ(report.at(0).outcome, EditOutcome::Changed);
    EXPECT_EQ(get_image_size(picture), "48,64");
    EXPECT_EQ(read_exif(picture), (ExifFields{1, 48, 64, false}));
    EXPECT_TRUE(m_dialogs.messages().empty());
}

// Re-encoded, the command still acts on the picture as it is shown: a tag-6 picture turned a
// quarter clockwise ends half a turn from its stored pixels, its tag reset.
TEST_F(EditTest, AReencodedTurnActsOnThePictureAsShown) {
    const std::string original = m_dir.file("original.ppm");
    run_command("/usr/bin/convert -size 64x48 gradient:red-blue " + quoted(original));
    const std::string picture = m_pictures + "IMG_411.jpg";
    int status = -1;
    run_command("/usr/bin/cjpeg -sample 4x2,1x1,1x1 -outfile " + quoted(picture) + " " +
                    quoted(original),
                &status);
    ASSERT_EQ(status, 0);
    add_exif(picture, ExifFields{6, 64, 48, true});
    const std::string expected = m_dir.file("expected.ppm");
    run_command("/usr/bin/convert " + quoted(original) + " -rotate 180 " + quoted(expected));
    const std::string thumb = m_context.thumbs_dir + "IMG_411.jpg";
    ASSERT_EQ(remake_thumbnail({picture, thumb}), 0);
    m_records.push_back({picture, thumb});
    show("1");
    const EditReport report = transform_selected(m_context, "qvd");
    EXPECT_EQ(report.at(0).outcome, EditOutcome::Changed);
    EXPECT_EQ(get_image_size(picture), "64,48");
    EXPECT_EQ(read_exif(picture), (ExifFields{1, 64, 48, false}));
    EXPECT_LT(mean_difference(read_rgb(picture), read_rgb(expected)), 3.0);
}

TEST_F(EditTest, ABmpIsTurnedInPlaceAndStaysABmp) {
    const std::string picture = add_picture("scan.bmp", 40, 20);
    const RgbImage before = read_rgb(picture);
    show("1");
    transform_selected(m_context, "qvd");
    const RgbImage after = read_rgb(picture);
    ASSERT_EQ(get_image_size(picture), "20,40");
    EXPECT_EQ(read_file(picture).substr(0, 2), "BM");
    // Turned clockwise: the old bottom-left pixel is now the top-left one.
    EXPECT_EQ(pixel_value(after, 0, 0), pixel_value(before, 0, 19));
    EXPECT_EQ(pixel_value(after, 19, 39), pixel_value(before, 39, 0));
    EXPECT_EQ(thumb_size(m_records[0]), "100,200");
}

TEST_F(EditTest, TheThumbnailIsRemadeIntoTheRecordsOwnFile) {
    // Two pictures of one name in two folders: thumbnails IMG_1.jpg and IMG_1_2.jpg.
    add_picture("IMG_1.jpg", 80, 40, "a");
    add_picture("IMG_1.jpg", 96, 32, "b");
    ASSERT_NE(m_records[0].thumb_path, m_records[1].thumb_path);
    const std::string first_thumb = read_file(m_records[0].thumb_path);
    show("2");
    transform_selected(m_context, "qvd");
    EXPECT_EQ(read_file(m_records[0].thumb_path), first_thumb);
    EXPECT_EQ(thumb_size(m_records[1]), "100,300");
    EXPECT_EQ(get_image_size(m_records[1].picture_path), "32,96");
}

TEST_F(EditTest, AFailedTurnLeavesThePictureAsItWasAndSaysSo) {
    const std::string picture = add_picture("broken.jpg", 64, 48);
    const std::string whole = read_file(picture);
    show("1");
    write_file(picture, whole.substr(0, whole.size() / 2));
    const std::string damaged = read_file(picture);
    const std::string thumbs = names_in(m_context.thumbs_dir);
    const EditReport report = transform_selected(m_context, "qvd");
    ASSERT_EQ(report.size(), 1u);
    EXPECT_EQ(report[0].outcome, EditOutcome::Failed);
    EXPECT_EQ(read_file(picture), damaged);
    EXPECT_EQ(names_in(m_pictures), "broken.jpg") << "no temporary file left beside it";
    EXPECT_EQ(names_in(m_context.thumbs_dir), thumbs) << "nor in the thumbnail folder";
    ASSERT_EQ(m_dialogs.messages().size(), 1u);
    EXPECT_NE(m_dialogs.messages()[0].text.find("broken.jpg"), std::string::npos);
    EXPECT_EQ(m_dialogs.messages()[0].icon, Icon::Exclamation);
    EXPECT_EQ(m_dialogs.messages()[0].title, "Orvix");
}

TEST_F(EditTest, AReadOnlyPictureIsNeverRewritten) {
    const std::string jpeg = add_picture("kept.jpg", 64, 48);
    const std::string tiff = add_picture("kept.tif", 64, 48);
    ::chmod(jpeg.c_str(), 0444);
    ::chmod(tiff.c_str(), 0444);
    const std::string jpeg_bytes = read_file(jpeg), tiff_bytes = read_file(tiff);
    show("1,2");
    const EditReport report = transform_selected(m_context, "cqv");
    ASSERT_EQ(report.size(), 2u);
    EXPECT_EQ(report[0].code, kPictureReadOnly);
    EXPECT_EQ(report[1].code, kPictureReadOnly);
    EXPECT_EQ(read_file(jpeg), jpeg_bytes);
    EXPECT_EQ(read_file(tiff), tiff_bytes);
    m_dialogs.queue_input("32");
    resize_to_typed_size(m_context);
    EXPECT_EQ(read_file(jpeg), jpeg_bytes);
    EXPECT_EQ(m_dialogs.messages().size(), 2u);
}

TEST_F(EditTest, AnEditOnAReadOnlyVolumeFailsAndLeavesThePicture) {
    SmallVolume volume(8 << 20);
    if (!volume.ok())
        GTEST_SKIP() << "needs root to mount a volume";
    const std::string picture = volume.path() + "card.jpg";
    make_jpeg(picture, 64, 48);
    const std::string thumb = m_context.thumbs_dir + "card.jpg";
    ASSERT_EQ(remake_thumbnail({picture, thumb}), 0);
    m_records.push_back({picture, thumb});
    ASSERT_TRUE(volume.remount_read_only());
    const std::string before = read_file(picture);
    show("1");
    const EditReport report = transform_selected(m_context, "qvd");
    EXPECT_EQ(report.at(0).outcome, EditOutcome::Failed);
    EXPECT_EQ(read_file(picture), before);
    EXPECT_EQ(m_dialogs.messages().size(), 1u);
}

TEST_F(EditTest, ACommandOnManyPicturesRefillsTheGridOnce) {
    std::string all;
    for (int i = 1; i <= 50; ++i) {
        add_picture("P" + std::to_string(i) + ".jpg", 32, 16);
        all += (i > 1 ? "," : "") + std::to_string(i);
    }
    show(all);
    transform_selected(m_context, "qvd");
    EXPECT_EQ(m_grid.filelist_writes, 1);
    EXPECT_EQ(m_grid.refreshes, 1);
    EXPECT_EQ(get_image_size(m_records[49].picture_path), "16,32");
    EXPECT_EQ(m_grid.SelectedItems(), all);
}

// --- Every command walks the selection the same way -----------------------------------

struct WalkCase {
    const char* name;
    EditReport (*run)(EditContext& context, WatchedDialogs& dialogs);
};

class WalksTheSelection : public EditTest, public testing::WithParamInterface<WalkCase> {};

// From the first selected item to the last, so that a stop leaves the first ones done.
TEST_P(WalksTheSelection, FromTheFirstItemToTheLast) {
    for (int i = 1; i <= 5; ++i)
        add_picture("IMG_" + std::to_string(i) + ".jpg", 64, 48);
    show("1,3,4");
    const EditReport report = GetParam().run(m_context, m_dialogs);
    std::vector<int32_t> items;
    for (const EditResult& result : report)
        items.push_back(result.item);
    EXPECT_EQ(items, (std::vector<int32_t>{1, 3, 4}));
}

INSTANTIATE_TEST_SUITE_P(
    Commands, WalksTheSelection,
    testing::Values(
        WalkCase{"turn", [](EditContext& context,
                            WatchedDialogs&) { return transform_selected(context, "qvd"); }},
        WalkCase{"size_menu", [](EditContext& context,
                                 WatchedDialogs&) { return resize_selected(context, 32, 80); }},
        WalkCase{"typed_size",
                 [](EditContext& context, WatchedDialogs& dialogs) {
                     dialogs.queue_input("32");
                     return resize_to_typed_size(context);
                 }},
        WalkCase{"delete",
                 [](EditContext& context, WatchedDialogs& dialogs) {
                     dialogs.queue_answer(Answer::Yes);
                     return delete_selected(context);
                 }}),
    [](const testing::TestParamInfo<WalkCase>& info) { return std::string(info.param.name); });

// Stops after the picture in hand when asked; what is left is untouched, and the grid shows
// what was done.
class StopAfter : public BatchSink {
public:
    explicit StopAfter(size_t pictures) : m_pictures(pictures) {}
    void batch_started(size_t total) override { started_with = total; }
    void file_done(size_t done, const FileOutcome&) override { m_done = done; }
    bool stop_requested() const override { return m_done >= m_pictures; }
    size_t started_with = 0;

private:
    size_t m_pictures;
    size_t m_done = 0;
};

TEST_F(EditTest, AStopEndsTheCommandAfterThePictureInHand) {
    std::vector<std::string> pictures;
    for (int i = 1; i <= 3; ++i)
        pictures.push_back(add_picture("IMG_" + std::to_string(i) + ".jpg", 64, 48));
    const std::string second = read_file(pictures[1]), third = read_file(pictures[2]);
    show("1,2,3");
    StopAfter stop(1);
    m_context.batch = &stop;
    const EditReport report = transform_selected(m_context, "qvd");
    EXPECT_EQ(stop.started_with, 3u);
    ASSERT_EQ(report.size(), 1u);
    EXPECT_EQ(report[0].outcome, EditOutcome::Changed);
    EXPECT_EQ(get_image_size(pictures[0]), "48,64");
    EXPECT_EQ(read_file(pictures[1]), second);
    EXPECT_EQ(read_file(pictures[2]), third);
    EXPECT_EQ(m_grid.refreshes, 1);
    EXPECT_EQ(m_grid.SelectedItems(), "1,2,3");
    EXPECT_TRUE(m_dialogs.messages().empty());
}

// A picture turned whose thumbnail cannot be made again is not told as done: the grid
// would show it unturned with nothing said.
TEST_F(EditTest, APictureWhoseThumbnailCannotBeRemadeIsNotToldAsDone) {
    const std::string picture = add_picture("turned.jpg", 64, 48);
    add_picture("fine.jpg", 64, 48);
    show("1,2");
    // The thumbnail's place is taken by a folder: nothing can be written there.
    const std::string thumb = m_records[0].thumb_path;
    ASSERT_EQ(delete_file(thumb, true, false), 0);
    ASSERT_TRUE(std::filesystem::create_directory(thumb));
    const EditReport report = transform_selected(m_context, "qvd");
    ASSERT_EQ(report.size(), 2u);
    EXPECT_EQ(get_image_size(picture), "48,64") << "the picture itself is turned";
    EXPECT_NE(report[0].outcome, EditOutcome::Changed);
    EXPECT_NE(report[0].outcome, EditOutcome::Failed) << "it did change";
    EXPECT_EQ(report[1].outcome, EditOutcome::Changed);
    ASSERT_EQ(m_dialogs.messages().size(), 1u);
    const std::string& text = m_dialogs.messages()[0].text;
    EXPECT_NE(text.find("thumbnails could not be made again"), std::string::npos) << text;
    EXPECT_NE(text.find("turned.jpg"), std::string::npos) << text;
    EXPECT_EQ(text.find("fine.jpg"), std::string::npos) << text;
}

// The refill after a command reads only the pictures the command changed: the others keep
// their captions, so a command on one picture costs the same in a grid of thousands. (A
// picture replaced behind the grid's back shows that its caption was not read again.)
TEST_F(EditTest, TheRefillReadsOnlyThePicturesTheCommandChanged) {
    add_picture("a.jpg", 64, 48);
    const std::string b = add_picture("b.jpg", 64, 48);
    show("1");
    make_picture(b, 32, 32);
    transform_selected(m_context, "qvd");
    EXPECT_NE(m_grid.model().File_Titlestring(1).find("(48 x 64)"), std::string::npos);
    EXPECT_NE(m_grid.model().File_Titlestring(2).find("(64 x 48)"), std::string::npos);
    // A full fill, as after a transfer, reads every picture.
    fill_thumbnail_grid(m_context);
    EXPECT_NE(m_grid.model().File_Titlestring(2).find("(32 x 32)"), std::string::npos);
}

TEST_F(EditTest, TheSizeMenuResizesTheLongerSideAtTheQualityGiven) {
    const std::string landscape = add_picture("wide.jpg", 1600, 1200);
    const std::string portrait = add_picture("tall.jpg", 1200, 1600);
    show("1,2");
    const std::string thumb = read_file(m_records[0].thumb_path);
    resize_selected(m_context, 640, 50);
    EXPECT_EQ(get_image_size(landscape), "640,480");
    EXPECT_EQ(get_image_size(portrait), "480,640");
    EXPECT_EQ(read_file(m_records[0].thumb_path), thumb) << "same proportions, same thumbnail";
    EXPECT_EQ(m_grid.SelectedItems(), "1,2");
    EXPECT_EQ(busy_depth(), 0);
}

struct TypedSize {
    const char* name;
    std::optional<std::string> answer;
    const char* expected; // "" when the picture must stay byte for byte
};

class FreeResize : public EditTest, public testing::WithParamInterface<TypedSize> {};

TEST_P(FreeResize, OnAPortraitPicture) {
    const std::string picture = add_picture("tall.jpg", 1200, 1600);
    const std::string before = read_file(picture);
    show("1");
    m_dialogs.queue_input(GetParam().answer);
    resize_to_typed_size(m_context);
    ASSERT_EQ(m_dialogs.inputs().size(), 1u);
    EXPECT_EQ(m_dialogs.inputs()[0].prompt, m_language.translate("choose_size"));
    EXPECT_EQ(m_dialogs.inputs()[0].default_answer, ",");
    EXPECT_EQ(m_dialogs.busy_when_asked, std::vector<bool>{false});
    if (std::string(GetParam().expected).empty()) {
        EXPECT_EQ(read_file(picture), before);
        return;
    }
    EXPECT_EQ(get_image_size(picture), GetParam().expected);
    EXPECT_EQ(get_image_size(m_records[0].thumb_path),
              get_image_size(picture) == "800,600" ? "100,75" : "100,133");
    EXPECT_EQ(m_grid.SelectedItems(), "1");
}

INSTANTIATE_TEST_SUITE_P(
    Answers, FreeResize,
    testing::Values(TypedSize{"OneNumberKeepsTheProportions", "800", "800,1067"},
                    TypedSize{"TwoNumbersGiveThatBox", "800,600", "800,600"},
                    TypedSize{"Cancel", std::nullopt, ""}, TypedSize{"EmptyAnswer", "", ""},
                    TypedSize{"TheOfferedCommaNamesNoSize", ",", ""},
                    TypedSize{"MarkersAlone", "*>", ""}),
    [](const testing::TestParamInfo<TypedSize>& info) { return std::string(info.param.name); });

TEST_F(EditTest, TheFreeResizeBandsAPortraitPictureInALandscapeBox) {
    const std::string picture = add_picture("tall.jpg", 1200, 1600);
    show("1");
    m_dialogs.queue_input("800,600");
    resize_to_typed_size(m_context);
    const RgbImage result = read_rgb(picture);
    // 450 x 600 at left 175 between two black bands.
    EXPECT_LE(pixel_value(result, 100, 300), 0x040404);
    EXPECT_LE(pixel_value(result, 700, 300), 0x040404);
}

TEST_F(EditTest, NothingSelectedAsksNothing) {
    add_picture("a.jpg", 32, 32);
    show("");
    EXPECT_TRUE(resize_to_typed_size(m_context).empty());
    EXPECT_TRUE(delete_selected(m_context).empty());
    EXPECT_TRUE(crop_selected(m_context, [](const std::string&) {
                    ADD_FAILURE() << "no crop window without a selection";
                    return std::optional<Rect>();
                }).empty());
    EXPECT_TRUE(m_dialogs.inputs().empty());
    EXPECT_TRUE(m_dialogs.messages().empty());
    EXPECT_EQ(m_grid.refreshes, 0);
    // The rotation and the size menu only refill the grid.
    transform_selected(m_context, "qvd");
    EXPECT_EQ(m_grid.refreshes, 1);
}

TEST_F(EditTest, DeletingItemsTwoAndFiveRemovesThosePicturesAndThumbnails) {
    std::vector<std::string> pictures;
    for (int i = 1; i <= 6; ++i)
        pictures.push_back(add_picture("IMG_" + std::to_string(i) + ".jpg", 32, 24));
    const std::vector<TransferredPicture> records = m_records;
    show("2,5");
    m_dialogs.queue_answer(Answer::Yes);
    const EditReport report = delete_selected(m_context);
    ASSERT_EQ(m_dialogs.messages().size(), 1u);
    // No trash is given here: the pictures are deleted for good, and the question says so.
    EXPECT_EQ(m_dialogs.messages()[0].text,
              "2 of the 2 selected picture(s) lie on a disk without a trash and will be deleted "
              "for good.\r\nDelete the 2 selected picture(s)?");
    EXPECT_EQ(m_dialogs.messages()[0].buttons, Buttons::YesNo);
    EXPECT_EQ(m_dialogs.messages()[0].default_answer, Answer::No);
    EXPECT_EQ(m_dialogs.busy_when_asked, std::vector<bool>{false});
    ASSERT_EQ(report.size(), 2u);
    EXPECT_EQ(report[0].item, 2) << "from the first item to the last";
    EXPECT_EQ(names_in(m_pictures), "IMG_1.jpg IMG_3.jpg IMG_4.jpg IMG_6.jpg");
    EXPECT_EQ(names_in(m_context.thumbs_dir), "IMG_1.jpg IMG_3.jpg IMG_4.jpg IMG_6.jpg");
    ASSERT_EQ(m_records.size(), 4u);
    EXPECT_EQ(m_records[1].picture_path, records[2].picture_path);
    EXPECT_EQ(m_records[3].picture_path, records[5].picture_path);
    EXPECT_EQ(m_grid.model().count(), 4);
    EXPECT_EQ(m_grid.model().File_Path(2), records[2].thumb_path);
    EXPECT_EQ(m_grid.SelectedItems(), "");
}

TEST_F(EditTest, AnsweringNoDeletesNothing) {
    add_picture("a.jpg", 32, 24);
    show("1");
    m_dialogs.queue_answer(Answer::No);
    delete_selected(m_context);
    EXPECT_EQ(names_in(m_pictures), "a.jpg");
    EXPECT_EQ(m_records.size(), 1u);
}

TEST_F(EditTest, APictureThatStaysOnDiskKeepsItsRecordAndThumbnail) {
    SmallVolume volume(8 << 20);
    if (!volume.ok())
        GTEST_SKIP() << "needs root to mount a volume";
    const std::string picture = volume.path() + "card.jpg";
    make_jpeg(picture, 32, 24);
    const std::string thumb = m_context.thumbs_dir + "card.jpg";
    ASSERT_EQ(remake_thumbnail({picture, thumb}), 0);
    m_records.push_back({picture, thumb});
    add_picture("b.jpg", 32, 24);
    ASSERT_TRUE(volume.remount_read_only());
    show("1,2");
    m_dialogs.queue_answer(Answer::Yes);
    delete_selected(m_context);
    EXPECT_TRUE(file_exists(picture));
    EXPECT_TRUE(file_exists(thumb));
    ASSERT_EQ(m_records.size(), 1u);
    EXPECT_EQ(m_records[0].picture_path, picture);
    EXPECT_FALSE(file_exists(m_pictures + "b.jpg"));
    ASSERT_EQ(m_dialogs.messages().size(), 2u) << "the question and the failure";
    EXPECT_NE(m_dialogs.messages()[1].text.find("card.jpg"), std::string::npos);
    // Why it stayed, in the program's language.
    EXPECT_NE(m_dialogs.messages()[1].text.find("card.jpg: the file is protected against changes"),
              std::string::npos)
        << m_dialogs.messages()[1].text;
}

// The grid leaves out a thumbnail it cannot find, so its items no longer match the
// records one for one.
TEST_F(EditTest, ItemsAreMatchedToTheRecordWhoseThumbnailTheyShow) {
    add_picture("one.jpg", 32, 24);
    add_picture("two.jpg", 32, 24);
    const std::string three = add_picture("three.jpg", 40, 20);
    delete_file(m_records[1].thumb_path, false, false);
    show("2");
    ASSERT_EQ(m_grid.model().count(), 2);
    EXPECT_NE(m_grid.model().File_Titlestring(2).find("three.jpg"), std::string::npos)
        << "each caption under its own picture";
    m_dialogs.queue_answer(Answer::Yes);
    delete_selected(m_context);
    EXPECT_FALSE(file_exists(three)) << "the picture shown as item 2";
    EXPECT_TRUE(file_exists(m_pictures + "two.jpg"));
    EXPECT_EQ(m_records.size(), 2u);
}

TEST_F(EditTest, AnItemWithoutARecordIsSkippedByEveryCommand) {
    const std::string a = add_picture("a.jpg", 48, 32);
    const std::string b = add_picture("b.jpg", 48, 24);
    const std::vector<TransferredPicture> both = m_records;
    // The records change behind the grid: b's record goes while the grid still shows it.
    auto stale = [&](const std::string& selection) {
        m_records = both;
        show(selection);
        m_records.pop_back();
    };
    const std::string before = read_file(b);
    stale("1,2");
    EditReport report = transform_selected(m_context, "qvd");
    ASSERT_EQ(report.size(), 2u);
    EXPECT_EQ(report[1].outcome, EditOutcome::Skipped);
    EXPECT_EQ(get_image_size(a), "32,48");
    stale("2");
    EXPECT_EQ(resize_selected(m_context, 100, 80).at(0).outcome, EditOutcome::Skipped);
    stale("2");
    m_dialogs.queue_input("20");
    EXPECT_EQ(resize_to_typed_size(m_context).at(0).outcome, EditOutcome::Skipped);
    stale("2");
    m_dialogs.queue_answer(Answer::Yes);
    EXPECT_EQ(delete_selected(m_context).at(0).outcome, EditOutcome::Skipped);
    stale("2");
    report = crop_selected(m_context,
                           [](const std::string&) { return crop_corners_of_result("0/0/5/5"); });
    EXPECT_EQ(report.at(0).outcome, EditOutcome::Skipped);
    EXPECT_EQ(read_file(b), before);
    EXPECT_TRUE(file_exists(b));
    EXPECT_EQ(m_dialogs.messages().size(), 1u) << "the delete question only";
}

TEST_F(EditTest, FindPictureOfItemGoesByTheThumbnailsName) {
    add_picture("IMG_1.jpg", 32, 24, "a");
    add_picture("IMG_1.jpg", 32, 24, "b");
    show("");
    EXPECT_EQ(find_picture_of_item(m_context, 1), m_records[0].picture_path);
    EXPECT_EQ(find_picture_of_item(m_context, 2), m_records[1].picture_path);
    EXPECT_EQ(find_picture_of_item(m_context, 3), "");
    EXPECT_EQ(find_picture_of_item(m_context, 0), "");
}

TEST_F(EditTest, CaptionsGiveNameSizeAndKilobytes) {
    const std::string picture = add_picture("IMG_7.jpg", 640, 480);
    add_picture("gone.jpg", 32, 24);
    write_file(m_records[1].picture_path, "not a picture");
    show("");
    const int64_t kb = to_int(double(file_length(picture)) / 1024);
    EXPECT_EQ(m_grid.model().File_Titlestring(1),
              "IMG_7.jpg\r\n(640 x 480)\r\n" + std::to_string(kb) + " Kb");
    EXPECT_EQ(m_grid.model().File_Titlestring(2), "gone.jpg\r\n(ERROR)\r\n0 Kb");
    EXPECT_EQ(m_grid.model().properties().TitleText, "#CUSTOM#");
    EXPECT_FALSE(m_grid.model().properties().LockScreen);
}

// --- Crop --------------------------------------------------------------------------------

TEST_F(EditTest, ATiffIsCroppedThroughAJpegCopyThatIsGoneAfterwards) {
    const std::string tiff = add_picture("scan.tif", 200, 100);
    const RgbImage before = read_rgb(tiff);
    show("1");
    const std::string thumbs = names_in(m_context.thumbs_dir);
    std::string shown;
    const EditReport report = crop_selected(m_context, [&](const std::string& path) {
        shown = path;
        EXPECT_EQ(path.rfind(m_context.thumbs_dir, 0), 0u) << "inside the thumbnail folder";
        EXPECT_EQ(file_extension(path), "jpg");
        EXPECT_EQ(get_image_size(path), "200,100");
        EXPECT_EQ(busy_depth(), 0) << "no hourglass over the crop window";
        return crop_corners_of_result("10/20/110/70");
    });
    ASSERT_EQ(report.size(), 1u);
    EXPECT_EQ(report[0].outcome, EditOutcome::Changed);
    EXPECT_FALSE(file_exists(shown));
    EXPECT_EQ(names_in(m_context.thumbs_dir), thumbs);
    EXPECT_EQ(get_image_size(tiff), "100,50");
    EXPECT_EQ(read_file(tiff).substr(0, 2), "II");
    EXPECT_EQ(pixel_value(read_rgb(tiff), 0, 0), pixel_value(before, 10, 20));
    EXPECT_EQ(thumb_size(m_records[0]), "100,50");
    EXPECT_EQ(m_grid.SelectedItems(), "1");
}

// The rectangle drawn on the picture as shown (its EXIF orientation applied) crops that
// region: the picture is stood upright, then cut, and its tag reset.
TEST_F(EditTest, ACropOfATaggedPictureCutsTheRegionShown) {
    for (const auto& [orientation, jpegtran] :
         {std::pair{3, "-rotate 180"}, {6, "-rotate 90"}, {8, "-rotate 270"}}) {
        SCOPED_TRACE(orientation);
        m_records.clear();
        const std::string picture =
            add_picture("IMG_" + std::to_string(orientation) + ".jpg", 160, 96);
        add_exif(picture, ExifFields{orientation, 160, 96, false});
        const std::string upright = m_dir.file("upright.jpg");
        int status = -1;
        run_command(std::string("/usr/bin/jpegtran ") + jpegtran + " -perfect -outfile " +
                        quoted(upright) + " " + quoted(picture),
                    &status);
        ASSERT_EQ(status, 0);
        const RgbImage shown = read_rgb(upright);
        show("1");
        const EditReport report = crop_selected(m_context, [&](const std::string& path) {
            EXPECT_EQ(path, picture) << "the viewer stands it upright itself";
            return crop_corners_of_result("8/16/40/80");
        });
        ASSERT_EQ(report.size(), 1u);
        EXPECT_EQ(report[0].outcome, EditOutcome::Changed);
        EXPECT_EQ(get_image_size(picture), "32,64");
        EXPECT_EQ(read_exif(picture), (ExifFields{1, 32, 64, false}));
        const RgbImage cut = read_rgb(picture);
        ASSERT_EQ(cut.width, 32);
        double sum = 0;
        for (int y = 0; y < 64; ++y)
            for (int x = 0; x < 32; ++x)
                for (int c = 0; c < 3; ++c)
                    sum += std::abs(cut.at(x, y)[c] - shown.at(x + 8, y + 16)[c]);
        EXPECT_LT(sum / (32 * 64 * 3), 2.0) << "the region shown, re-encoded once";
    }
}

TEST_F(EditTest, TheStandInIsRemovedWhenTheWindowIsCancelled) {
    add_picture("scan.tif", 64, 32);
    show("1");
    const std::string thumbs = names_in(m_context.thumbs_dir);
    const EditReport report =
        crop_selected(m_context, [](const std::string&) { return crop_corners_of_result(""); });
    EXPECT_TRUE(report.empty());
    EXPECT_EQ(names_in(m_context.thumbs_dir), thumbs);
    EXPECT_EQ(m_grid.refreshes, 1) << "the grid is refilled in every case";
    EXPECT_EQ(m_grid.SelectedItems(), "1");
}

TEST_F(EditTest, AJpegIsShownAsItIs) {
    const std::string picture = add_picture("IMG.jpg", 64, 32);
    show("1");
    crop_selected(m_context, [&](const std::string& path) {
        EXPECT_EQ(path, picture);
        return crop_corners_of_result("0/0/32/16");
    });
    EXPECT_EQ(get_image_size(picture), "32,16");
}

struct CropCase {
    const char* name;
    const char* crop_result;
    const char* expected; // "" when the picture must stay byte for byte
};

class Crops : public EditTest, public testing::WithParamInterface<CropCase> {};

TEST_P(Crops, A200By100Picture) {
    const std::string picture = add_picture("IMG.jpg", 200, 100);
    const std::string before = read_file(picture);
    show("1");
    crop_selected(m_context, [](const std::string&) {
        return crop_corners_of_result(GetParam().crop_result);
    });
    if (std::string(GetParam().expected).empty())
        EXPECT_EQ(read_file(picture), before);
    else
        EXPECT_EQ(get_image_size(picture), GetParam().expected);
    EXPECT_TRUE(m_dialogs.messages().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Rectangles, Crops,
    testing::Values(CropCase{"Inside", "10/20/110/70", "100,50"},
                    CropCase{"InvertedIsPutInOrder", "110/70/10/20", "100,50"},
                    CropCase{"BeyondTheEdgesIsKeptInside", "-5/50/400/300", "200,50"},
                    CropCase{"WholePictureLosesNothing", "0/0/200/100", ""},
                    CropCase{"EmptyChangesNothing", "40/10/40/90", ""},
                    CropCase{"OutsideChangesNothing", "300/10/400/90", ""}),
    [](const testing::TestParamInfo<CropCase>& info) { return std::string(info.param.name); });

TEST_F(EditTest, OnlyTheFirstSelectedPictureIsCropped) {
    const std::string a = add_picture("a.jpg", 64, 32);
    const std::string b = add_picture("b.jpg", 64, 32);
    show("2,1");
    crop_selected(m_context, [&](const std::string& path) {
        EXPECT_EQ(path, a);
        return crop_corners_of_result("0/0/10/10");
    });
    EXPECT_EQ(get_image_size(a), "10,10");
    EXPECT_EQ(get_image_size(b), "64,32");
}

// A camera's thumbnail stays in the file through an edit in some cases; the grid's thumbnail
// of an edited picture is drawn from the edited pixels, never from that thumbnail.
TEST_F(EditTest, ATurnedCameraPicturesThumbnailShowsTheTurn) {
    const std::string picture = add_picture("IMG_0007.jpg", 800, 600);
    const std::string preview = m_dir.file("preview.jpg");
    write_picture(preview, RgbImage{160, 120, std::vector<uint8_t>(160 * 120 * 3, 200)});
    int status = -1;
    run_command("/usr/bin/exiftool -q -q -overwrite_original \"-ThumbnailImage<=" + preview +
                    "\" " + quoted(picture),
                &status);
    ASSERT_EQ(status, 0);
    show("1");
    transform_selected(m_context, "qvd");
    const std::string expected = m_dir.file("expected.jpg");
    ASSERT_EQ(convert_image(picture, expected, kThumbnailRequest), 0);
    // Stood on its side: taller than wide, as the stored preview is not.
    const RgbImage thumb = read_rgb(m_records[0].thumb_path);
    ASSERT_EQ(thumb.width, 100);
    ASSERT_GT(thumb.height, 100);
    EXPECT_LT(mean_difference(thumb, read_rgb(expected)), 3.0);
}

} // namespace
} // namespace orvix::test
