// Whole transfers started by clicking the transfer button: the run on its worker, the window
// answering meanwhile, the boxes on the window's thread, the stop button and closing.
#include "app_fixture.h"

#include "app/transfer_info.h"

#include "controls/progress/vumbar.h"
#include "fs/fs.h"
#include "settings/prefs.h"
#include "support/images.h"
#include "text/text.h"
#include "transfer/transfer.h"

#include <QComboBox>
#include <QDeadlineTimer>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolBar>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <set>
#include <stdexcept>
#include <thread>

namespace orvix::test {
namespace {

// Every box in the order the user would see them, with the thread that showed it.
class OrderedDialogs final : public Dialogs {
public:
    struct Box {
        std::string title;
        std::string text;
        Icon icon;
        std::thread::id thread;
    };
    Answer message_box(const std::string& text, const std::string& title, Icon icon,
                       Buttons) override {
        boxes.push_back({title, text, icon, std::this_thread::get_id()});
        return Answer::Ok;
    }
    std::optional<std::string> input_box(const std::string& prompt, const std::string& title,
                                         const std::string& default_answer) override {
        boxes.push_back({title, prompt, Icon::Question, std::this_thread::get_id()});
        return default_answer;
    }
    std::vector<Box> boxes;
};

class TransferTest : public AppTest {
protected:
    ~TransferTest() override { set_after_copy_hook({}); }

    Form1& start_transfer_window(const std::string& card, const std::string& photos,
                                 Prefs more = {}) {
        Prefs prefs = {{"SOURCE_PATH", card}, {"DEST_PATH", photos}, {"RENAME_WITH", "NO"}};
        prefs.insert(prefs.end(), more.begin(), more.end());
        Form1& form = start(prefs);
        m_dialogs.clear();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&form));
        return form;
    }
    void click_and_wait(Form1&) { click_transfer_and_wait(); }
    // From the run's worker: does what on the window's thread and waits for it.
    static void on_window_thread(const std::function<void()>& what) {
        QMetaObject::invokeMethod(qApp, what, Qt::BlockingQueuedConnection);
    }
    // The copies' names of pictures numbered from 1, as make_card names them.
    static std::vector<std::string> pictures(int from, int to) {
        std::vector<std::string> names;
        for (int i = from; i <= to; ++i)
            names.push_back(picture_name(i));
        return names;
    }
    static std::string picture_name(int i) {
        char name[32];
        std::snprintf(name, sizeof name, "IMG_%04d.jpg", i);
        return name;
    }
    // count small JPEGs on a card; the listing gives them in its own order, so the
    // hooks below find pictures by name.
    std::string make_card(int count) {
        const std::string card = m_dir.folder("card");
        for (int i = 1; i <= count; ++i)
            make_jpeg(card + picture_name(i), 64, 48);
        return card;
    }
    static std::vector<std::string> files_in(const std::string& folder) {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(folder))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    // The state of the window that a run changes and must give back.
    void expect_idle_window(Form1& form) {
        EXPECT_FALSE(form.transfer_running());
        EXPECT_FALSE(child<Vumbar>("pbar")->isVisible());
        EXPECT_FALSE(child<QPushButton>("cancelxfer")->isVisible());
        EXPECT_FALSE(child<QLabel>("xferinfo")->isVisible());
        for (const char* name : {"xfer", "chemin", "destin", "Command2", "dest", "frame_setup"})
            EXPECT_TRUE(child<QWidget>(name)->isEnabled()) << name;
        EXPECT_TRUE(child<QTimer>("Timer1")->isActive());
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
        // Nothing is selected after these runs: every command button stays disabled.
        auto* toolbar = child<QToolBar>("tb");
        for (QAction* action : toolbar->actions()) {
            if (!action->isSeparator()) {
                EXPECT_FALSE(toolbar->widgetForAction(action)->isEnabled())
                    << action->objectName().toStdString();
            }
        }
    }
};

TEST_F(TransferTest, ClickingTransferCopiesThePicturesOnTheWorkerAndReports) {
    const std::string card = m_dir.folder("card");
    const std::string photos = m_dir.folder("photos");
    make_jpeg(card + "IMG_0001.jpg", 64, 48);
    const std::string dcim = m_dir.folder("card/DCIM");
    make_jpeg(dcim + "IMG_0002.jpg", 48, 64);
    make_jpeg(dcim + "IMG_0003.jpg", 32, 32);
    make_picture(card + "drawing.png", 16, 16);
    Form1& form = start_transfer_window(card, photos, {{"SHOW_THUMBS", "1"}});
    auto* bar = child<Vumbar>("pbar");

    // What the window looks like while each picture is copied.
    const std::thread::id window_thread = std::this_thread::get_id();
    std::thread::id copying_thread;
    int copies = 0;
    set_after_copy_hook([&](const std::string&, const std::string&) {
        copying_thread = std::this_thread::get_id();
        ++copies;
        on_window_thread([&] {
            EXPECT_EQ(bar->Value(), copies) << "the bar shows the picture in hand";
            EXPECT_TRUE(bar->isVisible());
            EXPECT_TRUE(child<QPushButton>("cancelxfer")->isVisible());
            EXPECT_TRUE(child<QPushButton>("cancelxfer")->isEnabled());
            EXPECT_TRUE(child<QLabel>("xferinfo")->isVisible());
            // The speed has a line of its own; the bar keeps the run's caption, which
            // counts the pictures with the bar's own tokens.
            EXPECT_TRUE(bar->Caption().contains("{value}/{max}"));
            EXPECT_EQ(
                bar->Caption().toStdString(),
                Remplacer("#1", card,
                          Remplacer("#2", photos, shipped_text("ENGLISH", "progress_transfer"))));
            for (const char* name :
                 {"xfer", "chemin", "destin", "Command2", "dest", "statussrc", "frame_setup"})
                EXPECT_FALSE(child<QWidget>(name)->isEnabled()) << name;
            EXPECT_TRUE(child<QPushButton>("Command3")->isEnabled()) << "looking is harmless";
            EXPECT_FALSE(child<QTimer>("Timer1")->isActive()) << "the camera watch waits";
            ASSERT_NE(QApplication::overrideCursor(), nullptr);
            EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::BusyCursor);
        });
    });

    click_and_wait(form);

    EXPECT_EQ(copies, 3);
    EXPECT_NE(copying_thread, window_thread);
    for (const char* original : {"IMG_0001.jpg", "DCIM/IMG_0002.jpg", "DCIM/IMG_0003.jpg"}) {
        const std::string copy = photos + file_name(original, true);
        ASSERT_TRUE(file_exists(copy)) << original;
        EXPECT_EQ(read_file(copy), read_file(card + original)) << "copied byte for byte";
    }
    EXPECT_FALSE(file_exists(photos + "drawing.png"));
    EXPECT_TRUE(file_exists(card + "DCIM/IMG_0002.jpg")) << "originals stay without delete";

    ASSERT_EQ(m_dialogs.messages().size(), 1u);
    const auto& report = m_dialogs.messages()[0];
    EXPECT_EQ(report.icon, Icon::Information);
    EXPECT_EQ(report.text, Remplacer("#1", "3", shipped_text("ENGLISH", "end_transfer")) + "\r\n" +
                               shipped_text("ENGLISH", "no_error"));

    ASSERT_EQ(form.state().transferred_pictures.size(), 3u);
    for (const TransferredPicture& picture : form.state().transferred_pictures) {
        EXPECT_EQ(parent_folder(picture.thumb_path), m_thumbs);
        EXPECT_EQ(read_rgb(picture.thumb_path).width, 100);
    }
    EXPECT_EQ(bar->Max(), 3);
    EXPECT_TRUE(child<QLabel>("freedest")->text().contains("\r\n"))
        << "the destination status is refreshed before the report";
    expect_idle_window(form);
}

TEST_F(TransferTest, JpegConversionWritesTheCorrectedQualityBack) {
    const std::string card = m_dir.folder("card");
    const std::string photos = m_dir.folder("photos");
    make_picture(card + "scan.bmp", 40, 30);
    Form1& form = start_transfer_window(card, photos, {{"FILECONVERSION", "1"}});
    child<QLineEdit>("quality")->setText("0");
    click_and_wait(form);

    EXPECT_EQ(child<QLineEdit>("quality")->text(), "100");
    EXPECT_TRUE(file_exists(photos + "scan.jpg"));
    EXPECT_FALSE(file_exists(photos + "scan.bmp")) << "the intermediate copy is removed";
    EXPECT_TRUE(file_exists(card + "scan.bmp"));
    EXPECT_LE(max_difference(read_rgb(photos + "scan.jpg"), read_rgb(card + "scan.bmp")), 48);
}

TEST_F(TransferTest, QuestionsErrorsAndTheReportComeInTheirOrderOnTheWindowsThread) {
    const std::string card = m_dir.folder("card");
    const std::string photos = m_dir.folder("photos");
    make_picture(card + "a.bmp", 40, 30);
    // A folder's own pictures come before its subfolders': a is asked about first.
    make_picture(m_dir.folder("card/sub") + "b.bmp", 40, 30);
    write_file(photos + "a.bmp", "mine"); // a clash: the question
    m_dir.folder("photos/b.jpg");         // a folder in the way: a conversion error
    Form1& form = start_transfer_window(card, photos, {{"FILECONVERSION", "1"}});
    OrderedDialogs boxes;
    const ScopedDialogs installed(boxes);
    click_and_wait(form);

    ASSERT_EQ(boxes.boxes.size(), 3u);
    EXPECT_EQ(boxes.boxes[0].title, "Twins !!!");
    EXPECT_EQ(
        boxes.boxes[0].text,
        Remplacer("#1", "a.bmp", Remplacer("<BR>", "\r\n", shipped_text("ENGLISH", "same_name"))));
    EXPECT_EQ(boxes.boxes[1].text, "Conversion error for \"" + photos + "b.jpg\"");
    EXPECT_EQ(boxes.boxes[1].icon, Icon::None);
    EXPECT_EQ(boxes.boxes[2].text, Remplacer("#1", "2", shipped_text("ENGLISH", "end_transfer")) +
                                       "\r\n" + shipped_text("ENGLISH", "no_error"));
    EXPECT_EQ(boxes.boxes[2].icon, Icon::Information);
    for (const OrderedDialogs::Box& box : boxes.boxes)
        EXPECT_EQ(box.thread, std::this_thread::get_id()) << box.text;
    EXPECT_EQ(boxes.boxes[1].title, "Orvix");
    EXPECT_EQ(boxes.boxes[2].title, "Orvix");
    EXPECT_TRUE(file_exists(photos + "a-bis.jpg"));
}

TEST_F(TransferTest, TheWindowsEventLoopKeepsRunningThroughALongTransfer) {
    const std::string card = make_card(200);
    const std::string photos = m_dir.folder("photos");
    Form1& form = start_transfer_window(card, photos, {{"SHOW_THUMBS", "1"}});

    // A timer of the window's thread, as a repaint or a click would be served.
    std::atomic<int> ticks = 0;
    int ticks_while_running = 0;
    QTimer timer;
    timer.setInterval(10);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        ++ticks;
        if (form.transfer_running())
            ++ticks_while_running;
    });
    // With the first, a middle and the last picture in hand, the run waits until the timer
    // has ticked: it does so however slow the machine, unless the picture holds the window's
    // thread. The wait is bounded only against a hang.
    const std::thread::id window_thread = std::this_thread::get_id();
    const std::set<int> held = {1, 100, 200};
    std::vector<int> ticked_while_in_hand;
    int copies = 0;
    set_after_copy_hook([&](const std::string&, const std::string&) {
        if (!held.contains(++copies) || std::this_thread::get_id() == window_thread)
            return;
        const int before = ticks;
        QDeadlineTimer hang(30000);
        while (ticks == before && !hang.hasExpired())
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        if (ticks != before)
            ticked_while_in_hand.push_back(copies);
    });
    // The report comes once the grid holds every picture.
    class ReportDialogs final : public ScriptedDialogs {
    public:
        explicit ReportDialogs(const Form1& form) : m_form(form) {}
        Answer message_box(const std::string& text, const std::string& title, Icon icon,
                           Buttons buttons) override {
            pictures_at_report = m_form.state().transferred_pictures.size();
            return ScriptedDialogs::message_box(text, title, icon, buttons);
        }
        size_t pictures_at_report = 0;

    private:
        const Form1& m_form;
    } boxes(form);
    const ScopedDialogs installed(boxes);

    timer.start();
    click_and_wait(form);
    timer.stop();

    EXPECT_EQ(ticked_while_in_hand, std::vector<int>(held.begin(), held.end()));
    EXPECT_GE(ticks_while_running, static_cast<int>(held.size()));
    EXPECT_EQ(files_in(photos), pictures(1, 200));
    EXPECT_EQ(form.state().transferred_pictures.size(), 200u);
    ASSERT_EQ(boxes.messages().size(), 1u);
    EXPECT_EQ(boxes.messages()[0].icon, Icon::Information);
    EXPECT_EQ(boxes.pictures_at_report, 200u);
    expect_idle_window(form);
}

TEST_F(TransferTest, StopEndsAfterThePictureInHandAndTheReportSaysHowManyWereCopied) {
    const std::string card = make_card(6);
    const std::string photos = m_dir.folder("photos");
    Form1& form =
        start_transfer_window(card, photos, {{"SHOW_THUMBS", "1"}, {"DELETE_ORIGINAL", "1"}});
    // The user presses the stop button while the third picture in the listing is copied.
    std::vector<std::string> order;
    set_after_copy_hook([&](const std::string& source, const std::string&) {
        order.push_back(file_name(source, true));
        if (order.size() != 3)
            return;
        on_window_thread([&] {
            auto* stop = child<QPushButton>("cancelxfer");
            QTest::mouseClick(stop, Qt::LeftButton);
            EXPECT_FALSE(stop->isEnabled()) << "the press is acknowledged";
            EXPECT_TRUE(form.transfer_running()) << "the picture in hand goes on";
        });
    });
    click_and_wait(form);

    ASSERT_EQ(order.size(), 3u) << "no picture after the stop is started";
    std::sort(order.begin(), order.end());
    EXPECT_EQ(files_in(photos), order) << "the copies made, whole, and nothing else";
    for (int i = 1; i <= 6; ++i) {
        const std::string name = picture_name(i);
        const bool copied = std::binary_search(order.begin(), order.end(), name);
        EXPECT_EQ(file_exists(card + name), !copied) << name << ": only verified copies free "
                                                     << "their original";
    }
    EXPECT_EQ(form.state().transferred_pictures.size(), 3u);
    ASSERT_EQ(m_dialogs.messages().size(), 1u);
    EXPECT_EQ(
        m_dialogs.messages()[0].text,
        Remplacer("#1", "3", Remplacer("#2", "6", shipped_text("ENGLISH", "transfer_stopped"))));
    EXPECT_EQ(m_dialogs.messages()[0].icon, Icon::Information);
    expect_idle_window(form);
}

TEST_F(TransferTest, ClosingTheWindowStopsTheRunThenCloses) {
    const std::string card = make_card(6);
    const std::string photos = m_dir.folder("photos");
    Form1& form = start_transfer_window(card, photos);
    int copies = 0;
    set_after_copy_hook([&](const std::string&, const std::string&) {
        if (++copies != 2)
            return;
        on_window_thread([&] {
            form.close();
            EXPECT_TRUE(form.isVisible()) << "the window waits for the run";
            EXPECT_TRUE(folder_exists(m_thumbs)) << "nothing is cleared under the run";
        });
    });
    QTest::mouseClick(child<QPushButton>("xfer"), Qt::LeftButton);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !form.isVisible(); }, 60000));

    EXPECT_FALSE(form.transfer_running());
    EXPECT_EQ(files_in(photos).size(), 2u);
    EXPECT_EQ(copies, 2);
    EXPECT_FALSE(folder_exists(m_thumbs)) << "unloaded once stopped";
    EXPECT_EQ(get_key_value("DEST_PATH", read_file(prefs_path(m_program))), photos);
    ASSERT_EQ(m_dialogs.messages().size(), 1u);
    EXPECT_EQ(
        m_dialogs.messages()[0].text,
        Remplacer("#1", "2", Remplacer("#2", "6", shipped_text("ENGLISH", "transfer_stopped"))));
}

TEST_F(TransferTest, AnUnexpectedErrorOrAnEarlyEndStillEndsTheRun) {
    struct Case {
        const char* label;
        int pictures;
        bool throws;
        std::string message;
        Icon icon;
    };
    const Case cases[] = {
        {"an exception in the run", 4, true,
         Remplacer("#1", "card pulled out", shipped_text("ENGLISH", "job_error")), Icon::Critical},
        {"an early message", 0, false, shipped_text("ENGLISH", "no_picture_transferable"),
         Icon::Exclamation},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const std::string card = m_dir.folder(std::string(c.label) + "/card");
        for (int i = 1; i <= c.pictures; ++i)
            make_jpeg(card + picture_name(i), 32, 32);
        const std::string photos = m_dir.folder(std::string(c.label) + "/photos");
        Form1& form = start_transfer_window(card, photos);
        int copies = 0;
        set_after_copy_hook([&](const std::string&, const std::string&) {
            if (++copies == 2 && c.throws)
                throw std::runtime_error("card pulled out");
        });
        click_and_wait(form);
        ASSERT_FALSE(m_dialogs.messages().empty());
        EXPECT_EQ(m_dialogs.messages().back().text, c.message);
        EXPECT_EQ(m_dialogs.messages().back().icon, c.icon);
        expect_idle_window(form);
        m_form.reset();
    }
}

TEST_F(TransferTest, TheSpeedLineInEachLanguage) {
    struct Case {
        const char* language;
        std::optional<double> speed;
        std::optional<double> left;
        QLocale locale;
        std::string expected;
    };
    const QLocale english(QLocale::English, QLocale::UnitedKingdom);
    const QLocale french(QLocale::French, QLocale::France);
    const Case cases[] = {
        {"ENGLISH", std::nullopt, std::nullopt, english, ""},
        {"ENGLISH", 12.34e6, 65.2, english, "12.3 MB/s, about 1:06 left"},
        {"ENGLISH", 0.0, std::nullopt, english, "0.0 MB/s, about --:-- left"},
        {"FRENCH", 12.34e6, 3725, french, "12,3 Mo/s, fin dans 1:02:05 environ"},
        {"FRENCH", std::nullopt, 10, french, ""},
    };
    for (const Case& c : cases) {
        LanguageTable language;
        language.parse_language_text("xfer_info=" + shipped_text(c.language, "xfer_info"));
        EXPECT_EQ(transfer_info_text(language, c.speed, c.left, c.locale).toStdString(),
                  c.expected);
    }
}

} // namespace
} // namespace orvix::test
