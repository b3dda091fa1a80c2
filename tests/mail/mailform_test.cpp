#include "mail/mailform.h"

#include "component/host.h"
#include "component/library.h"
#include "component/registry.h"
#include "controls/progress/vumbar.h"
#include "fs/fs.h"
#include "imaging/imaging.h"
#include "mailctl/sendix_ids.h"
#include "settings/language.h"
#include "settings/prefs.h"
#include "support/images.h"
#include "support/mail_fakes.h"
#include "support/temp_dir.h"
#include "text/text.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSlider>
#include <QTest>

#include <algorithm>
#include <climits>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <stdexcept>
#include <thread>

namespace orvix {
namespace {

using Strings = std::vector<std::string>;

// One application for the binary, ended with the tests rather than by a static destructor.
std::unique_ptr<QApplication> application;

class QtEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        static int argc = 1;
        static char name[] = "test_mailform";
        static char* argv[] = {name, nullptr};
        application = std::make_unique<QApplication>(argc, argv);
    }
    void TearDown() override { application.reset(); }
};

const ::testing::Environment* const qt_environment =
    ::testing::AddGlobalTestEnvironment(new QtEnvironment);

LanguageTable language_file(const char* name) {
    const char* source = std::getenv("ORVIX_SOURCE_DIR");
    LanguageTable table;
    table.parse_language_text(
        test::read_file(std::string(source ? source : ".") + "/resources/extra/languages/" + name));
    return table;
}

LanguageTable english() {
    return language_file("ENGLISH.LNG");
}

std::string real(const char* path) {
    char resolved[PATH_MAX];
    return ::realpath(path, resolved) ? resolved : path;
}

// Lets the window's thread run (boxes asked by a hand-over are shown there) until no mail is
// on its way any more.
bool all_mails_handed_over() {
    return QTest::qWaitFor([] { return !mails_under_way(); }, 30000);
}

// Holds the preparation before each picture until the test lets it go. A picture reached
// on the window's thread is not held (that would hang the window) but counted.
class PictureGate {
public:
    PictureGate() : m_window_thread(std::this_thread::get_id()) {
        set_mail_picture_hook([this](const std::string& picture) { arrive(picture); });
    }
    ~PictureGate() {
        open_all();
        set_mail_picture_hook({});
    }
    PictureGate(const PictureGate&) = delete;
    PictureGate& operator=(const PictureGate&) = delete;

    // Lets the window's thread run until count pictures have reached the gate beside it;
    // false at once when a picture was prepared on the window's thread.
    bool wait_for_arrivals(size_t count) {
        const bool ended = QTest::qWaitFor(
            [this, count] { return arrivals() >= count || reached_on_window_thread() > 0; }, 30000);
        return ended && arrivals() >= count;
    }
    size_t arrivals() const {
        const std::lock_guard lock(m_mutex);
        return m_arrived;
    }
    size_t reached_on_window_thread() const {
        const std::lock_guard lock(m_mutex);
        return m_in_line;
    }
    void release(size_t count) {
        const std::lock_guard lock(m_mutex);
        m_released += count;
        m_changed.notify_all();
    }
    void open_all() { release(SIZE_MAX / 2); }

private:
    void arrive(const std::string&) {
        std::unique_lock lock(m_mutex);
        if (std::this_thread::get_id() == m_window_thread) {
            ++m_in_line;
            return;
        }
        const size_t mine = ++m_arrived;
        m_changed.wait(lock, [this, mine] { return m_released >= mine; });
    }

    const std::thread::id m_window_thread;
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    size_t m_arrived = 0;
    size_t m_released = 0;
    size_t m_in_line = 0;
};

// Counts the paint events a widget gets.
class PaintCounter : public QObject {
public:
    explicit PaintCounter(QWidget& widget) { widget.installEventFilter(this); }
    int count = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            ++count;
        return false;
    }
};

struct Sent {
    std::string url, subject, cc, files, body;
};

class FakeControl final : public MailControl {
public:
    explicit FakeControl(std::vector<Sent>& sent, bool ready = true)
        : m_sent(sent), m_ready(ready) {}
    bool ready() const override { return m_ready; }
    std::string problem() const override { return "The component is not registered."; }
    void SendaMail(const std::string& Url, const std::string& Sujet, const std::string& Cc,
                   const std::string& Joindre, const std::string& Texte) override {
        m_sent.push_back({Url, Sujet, Cc, Joindre, Texte});
    }

private:
    std::vector<Sent>& m_sent;
    bool m_ready;
};

class MailWindow : public ::testing::Test {
protected:
    MailWindow() {
        test::make_jpeg(m_first, 640, 480);
        test::make_jpeg(m_second, 480, 640);
        m_pictures = {{m_first, m_dir.path() + "thumbs/IMG_1.jpg"},
                      {m_second, m_dir.path() + "thumbs/IMG_1_2.jpg"}};
        set_clock([] { return LocalTime{2024, 5, 1, 10, 0, 0}; });
        // Registrations the component writes stay in the test's own folder.
        m_env.set("XDG_DATA_HOME", m_dir.folder("xdg-data"));
    }
    ~MailWindow() override { set_clock({}); }

    mailform& open(const std::vector<int32_t>& selection = {1, 2}, bool ready = true) {
        m_window = std::make_unique<mailform>(
            MailContext{m_prefs, m_language, m_pictures, selection, m_root, m_dialogs},
            std::make_unique<FakeControl>(m_sent, ready), nullptr);
        return *m_window;
    }
    template <class Widget> Widget* child(const char* name) const {
        auto* widget = m_window->findChild<Widget*>(QString::fromLatin1(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }
    void click(const char* button) { child<QPushButton>(button)->click(); }
    // Lets the window's thread run until the preparation beside it has ended.
    bool preparation_ended() {
        return QTest::qWaitFor([this] { return !m_window->preparing(); }, 60000);
    }
    Strings folders_in_root() const {
        Strings folders;
        std::error_code ec;
        for (const auto& entry : std::filesystem::directory_iterator(m_root, ec))
            folders.push_back(entry.path().string());
        return folders;
    }

    test::TempDir m_dir;
    test::ScopedEnv m_env;
    const std::string m_root = m_dir.path() + "cache/orvix/mail/";
    const std::string m_first = m_dir.file("dest/a/IMG_1.JPG");
    const std::string m_second = m_dir.file("dest/b/IMG_1.JPG");
    std::vector<TransferredPicture> m_pictures;
    std::string m_prefs;
    LanguageTable m_language = english();
    ScriptedDialogs m_dialogs;
    std::vector<Sent> m_sent;
    std::unique_ptr<mailform> m_window;
};

TEST_F(MailWindow, LoadsItsTextsAndTheStoredChoices) {
    set_key_value("MAILDESTS", m_prefs, "bob@x.org\rSmith, Ann <ann@x.org>", "$", "=", true);
    set_key_value("LASTMAILSIZE", m_prefs, "3");
    set_key_value("QUALITYMAIL", m_prefs, "80");
    set_key_value("NOJPEGMAIL", m_prefs, "1");
    const std::string before = m_prefs;
    open();

    for (const char* name :
         {"infolabel", "labeldest", "labelobjet", "labellemess", "labelsize", "labelqual"})
        EXPECT_FALSE(child<QLabel>(name)->text().isEmpty()) << name;
    EXPECT_EQ(child<QLabel>("infolabel")->text().toStdString(),
              Remplacer("<BR>", CRLF, m_language.translate("infolabel")));
    EXPECT_EQ(child<QPushButton>("prepare")->text().toStdString(), "Prepare");
    EXPECT_EQ(child<QPushButton>("cancel")->text().toStdString(), "Cancel");
    EXPECT_EQ(child<QCheckBox>("nojpeg")->text().toStdString(),
              m_language.translate("noconversion"));
    EXPECT_EQ(m_window->findChild<MailControl*>(QStringLiteral("sendix")) != nullptr, true);

    auto* recipients = child<QComboBox>("destinataire");
    ASSERT_EQ(recipients->count(), 2);
    EXPECT_EQ(recipients->itemText(1).toStdString(), "Smith, Ann <ann@x.org>");
    EXPECT_EQ(recipients->currentText().toStdString(), "bob@x.org");
    EXPECT_EQ(child<QLineEdit>("objet")->text().toStdString(), "Pictures of 2024-05-01");

    auto* sizes = child<QListWidget>("sizepic");
    ASSERT_EQ(sizes->count(), 6);
    EXPECT_EQ(sizes->item(0)->text().toStdString(), m_language.translate("dim_idem"));
    EXPECT_EQ(sizes->item(5)->text().toStdString(), "Longer side 2048 pixels");
    EXPECT_EQ(sizes->currentRow(), 3);
    EXPECT_EQ(child<QSlider>("qualslider")->value(), 80);
    EXPECT_EQ(child<QLabel>("qualvalue")->text().toStdString(), "80");
    EXPECT_TRUE(child<QCheckBox>("nojpeg")->isChecked());
    EXPECT_FALSE(sizes->isEnabled()) << "sizes do not apply to originals";
    EXPECT_EQ(m_prefs, before) << "loading writes no preference";
}

TEST_F(MailWindow, StartsWithTheDefaults) {
    set_key_value("LASTMAILSIZE", m_prefs, "9");
    open();
    EXPECT_EQ(child<QComboBox>("destinataire")->count(), 0);
    EXPECT_EQ(child<QComboBox>("destinataire")->currentText().toStdString(), "");
    EXPECT_EQ(child<QListWidget>("sizepic")->currentRow(), 0);
    EXPECT_EQ(child<QSlider>("qualslider")->value(), 65);
    EXPECT_FALSE(child<QCheckBox>("nojpeg")->isChecked());
    EXPECT_TRUE(child<QPushButton>("prepare")->isEnabled());
    EXPECT_TRUE(m_dialogs.messages().empty());
}

TEST_F(MailWindow, ChoicesGoIntoThePreferencesAtOnce) {
    open();
    child<QListWidget>("sizepic")->setCurrentRow(4);
    EXPECT_EQ(get_key_value("LASTMAILSIZE", m_prefs), "4");
    child<QSlider>("qualslider")->setValue(42);
    EXPECT_EQ(get_key_value("QUALITYMAIL", m_prefs), "42");
    EXPECT_EQ(child<QLabel>("qualvalue")->text().toStdString(), "42");
    child<QCheckBox>("nojpeg")->click();
    EXPECT_EQ(get_key_value("NOJPEGMAIL", m_prefs), "1");
    EXPECT_FALSE(child<QSlider>("qualslider")->isEnabled());
    child<QCheckBox>("nojpeg")->click();
    EXPECT_EQ(get_key_value("NOJPEGMAIL", m_prefs), "0");
    EXPECT_TRUE(child<QSlider>("qualslider")->isEnabled());
}

TEST_F(MailWindow, PrepareSendsBothPicturesAndCloses) {
    open();
    child<QComboBox>("destinataire")->setEditText(QStringLiteral("ann@example.org"));
    child<QPlainTextEdit>("lemess")->setPlainText(QStringLiteral("Line 1\nLine 2"));
    child<QListWidget>("sizepic")->setCurrentRow(1);
    m_dialogs.queue_answer(Answer::Yes);
    click("prepare");
    ASSERT_TRUE(preparation_ended());

    EXPECT_EQ(m_window->result(), QDialog::Accepted);
    ASSERT_EQ(m_sent.size(), 1u);
    const std::string folder = m_window->last_result().folder;
    EXPECT_EQ(m_sent[0].url, "ann@example.org");
    EXPECT_EQ(m_sent[0].subject, "Pictures of 2024-05-01");
    EXPECT_EQ(m_sent[0].files, "\"" + folder + "IMG_1.jpg\" \"" + folder + "~IMG0001.jpg\"");
    EXPECT_EQ(m_sent[0].body, "Line 1\nLine 2");
    EXPECT_EQ(get_image_size(folder + "IMG_1.jpg"), "500,375");
    EXPECT_EQ(recent_recipients(m_prefs), Strings{"ann@example.org"});
}

TEST_F(MailWindow, NoKeepsTheWindowOpenWithItsFields) {
    open();
    child<QComboBox>("destinataire")->setEditText(QStringLiteral("ann@example.org"));
    m_dialogs.queue_answer(Answer::No);
    click("prepare");
    ASSERT_TRUE(preparation_ended());
    EXPECT_TRUE(m_sent.empty());
    EXPECT_FALSE(folder_exists(m_window->last_result().folder));
    EXPECT_EQ(child<QComboBox>("destinataire")->currentText().toStdString(), "ann@example.org");
    EXPECT_EQ(m_window->last_result().outcome, PrepareOutcome::Declined);

    m_dialogs.queue_answer(Answer::Yes);
    click("prepare");
    ASSERT_TRUE(preparation_ended());
    ASSERT_EQ(m_sent.size(), 1u);
    EXPECT_TRUE(file_exists(m_window->last_result().folder + "~IMG0001.jpg"));
}

TEST_F(MailWindow, WithoutTheComponentPrepareIsOffAndTheReasonShown) {
    open({1, 2}, false);
    EXPECT_FALSE(child<QPushButton>("prepare")->isEnabled());
    ASSERT_EQ(m_dialogs.messages().size(), 1u);
    EXPECT_EQ(m_dialogs.messages()[0].text, "The component is not registered.");
}

TEST_F(MailWindow, CancelCloses) {
    open();
    click("cancel");
    EXPECT_EQ(m_window->result(), QDialog::Rejected);
    EXPECT_TRUE(m_sent.empty());
}

// The whole way: the window, the sendix component that ships with the program, the mail
// library, the real xdg-email and a mail client registered as the mailto handler.
TEST_F(MailWindow, TheMailClientReceivesTheMailAndCanReadItsPictures) {
    test::FakeMailClient client(m_dir);
    ASSERT_TRUE(client.ready());
    m_window = std::make_unique<mailform>(
        MailContext{m_prefs, m_language, m_pictures, std::vector<int32_t>{1, 2}, m_root, m_dialogs},
        std::make_unique<SendixControl>(m_dialogs, m_language, real(SENDIX_LIBRARY)), nullptr);
    ASSERT_TRUE(child<QPushButton>("prepare")->isEnabled()) << m_dialogs.messages().at(0).text;

    const std::string recipient = "-ann \"the boss\"@example.org";
    const std::string subject = "Pictures; \"été\" 'x' $(id) C:\\new";
    child<QComboBox>("destinataire")->setEditText(QString::fromStdString(recipient));
    child<QLineEdit>("objet")->setText(QString::fromStdString(subject));
    child<QPlainTextEdit>("lemess")->setPlainText(QStringLiteral("Hello;\n\"two\" pictures"));
    m_dialogs.queue_answer(Answer::Yes);
    m_window->prepare_Click();
    ASSERT_TRUE(preparation_ended());
    ASSERT_TRUE(all_mails_handed_over());

    EXPECT_EQ(m_dialogs.messages().size(), 1u) << "only the question, no failure";
    const auto received = client.received();
    ASSERT_EQ(received.size(), 1u);
    const test::Mailto mail = test::parse_mailto(received[0]);
    Strings to = mail.values("to");
    if (!mail.path.empty())
        to.push_back(mail.path);
    EXPECT_EQ(to, Strings{recipient}) << received[0];
    EXPECT_EQ(mail.values("subject"), Strings{subject});
    EXPECT_EQ(mail.values("body"), Strings{"Hello;\r\n\"two\" pictures"});
    const std::string folder = m_window->last_result().folder;
    const Strings attachments = mail.values("attach");
    EXPECT_EQ(attachments, (Strings{folder + "IMG_1.jpg", folder + "~IMG0001.jpg"}));
    for (const std::string& path : attachments)
        EXPECT_EQ(get_image_size(path), path.ends_with("~IMG0001.jpg") ? "480,640" : "640,480")
            << path << " is still readable";
}

// A picture that cannot be converted is named with its reason before the question, and the
// mail the client receives carries the others only.
TEST_F(MailWindow, APictureThatCannotBeConvertedIsNamedAndLeftOut) {
    test::FakeMailClient client(m_dir);
    ASSERT_TRUE(client.ready());
    const std::string broken = m_dir.file("dest/c/broken.JPG");
    test::write_file(broken, "\xFF\xD8 not a picture");
    m_pictures.push_back({broken, ""});
    m_window = std::make_unique<mailform>(
        MailContext{m_prefs, m_language, m_pictures, std::vector<int32_t>{3, 1}, m_root, m_dialogs},
        std::make_unique<SendixControl>(m_dialogs, m_language, real(SENDIX_LIBRARY)), nullptr);
    child<QComboBox>("destinataire")->setEditText(QStringLiteral("ann@example.org"));
    m_dialogs.queue_answer(Answer::Ok);
    m_dialogs.queue_answer(Answer::Yes);
    m_window->prepare_Click();
    ASSERT_TRUE(preparation_ended());
    ASSERT_TRUE(all_mails_handed_over());

    ASSERT_EQ(m_dialogs.messages().size(), 2u) << "the failure, then the question";
    const std::string& told = m_dialogs.messages()[0].text;
    const std::string heading = m_language.translate("mail_left_out");
    ASSERT_FALSE(heading.empty());
    EXPECT_EQ(told.rfind(heading.substr(0, heading.find("<BR>")), 0), 0u) << told;
    EXPECT_NE(told.find("broken.JPG: "), std::string::npos) << told;
    EXPECT_EQ(told.find("IMG_1"), std::string::npos) << told;
    EXPECT_EQ(m_dialogs.messages()[1].buttons, Buttons::YesNo);

    const auto received = client.received();
    ASSERT_EQ(received.size(), 1u);
    const std::string folder = m_window->last_result().folder;
    EXPECT_EQ(test::parse_mailto(received[0]).values("attach"), Strings{folder + "IMG_1.jpg"});
    EXPECT_FALSE(file_exists(folder + "broken.jpg")) << "no half-made copy is left";
}

// While the pictures are prepared the window keeps painting, the bar counts them and only
// Stop answers.
TEST_F(MailWindow, KeepsPaintingWhileItPrepares) {
    PictureGate gate;
    open({1, 2});
    m_window->show();
    click("prepare");
    ASSERT_TRUE(gate.wait_for_arrivals(1));
    EXPECT_EQ(gate.reached_on_window_thread(), 0u);

    auto* bar = child<Vumbar>("mailbar");
    EXPECT_TRUE(bar->isVisible());
    EXPECT_EQ(bar->Max(), 2);
    EXPECT_TRUE(child<QPushButton>("stop")->isVisible());
    EXPECT_TRUE(child<QPushButton>("stop")->isEnabled());
    for (const char* held : {"prepare", "cancel"})
        EXPECT_FALSE(child<QPushButton>(held)->isEnabled()) << held;
    EXPECT_FALSE(child<QComboBox>("destinataire")->isEnabled());
    EXPECT_FALSE(child<QListWidget>("sizepic")->isEnabled());

    PaintCounter painted(*bar);
    bar->update();
    EXPECT_TRUE(QTest::qWaitFor([&painted] { return painted.count > 0; }, 30000))
        << "the window's thread paints while a picture is in hand";

    gate.release(1);
    ASSERT_TRUE(gate.wait_for_arrivals(2));
    EXPECT_TRUE(QTest::qWaitFor([bar] { return bar->Value() == 1; }, 30000));
    gate.open_all();
    m_dialogs.queue_answer(Answer::No);
    ASSERT_TRUE(preparation_ended());
    EXPECT_FALSE(bar->isVisible());
    EXPECT_FALSE(child<QPushButton>("stop")->isVisible());
    EXPECT_TRUE(child<QPushButton>("prepare")->isEnabled());
    EXPECT_TRUE(child<QListWidget>("sizepic")->isEnabled());
    EXPECT_EQ(m_window->last_result().outcome, PrepareOutcome::Declined);
}

struct StopCase {
    const char* label;
    void (*stop)(mailform&);
};

class StopPreparation : public MailWindow, public ::testing::WithParamInterface<StopCase> {};

// Stop, or closing the window, ends the preparation after the picture in hand: nothing is
// asked or sent, no copy is left, and the window stays open with its fields.
TEST_P(StopPreparation, SendsNothingAndLeavesNoCopy) {
    const std::string third = m_dir.file("dest/c/IMG_3.JPG");
    test::make_jpeg(third, 320, 240);
    m_pictures.push_back({third, ""});
    PictureGate gate;
    open({1, 2, 3});
    m_window->show();
    child<QComboBox>("destinataire")->setEditText(QStringLiteral("ann@example.org"));
    click("prepare");
    ASSERT_TRUE(gate.wait_for_arrivals(1));
    GetParam().stop(*m_window);
    gate.open_all();
    ASSERT_TRUE(preparation_ended());

    EXPECT_EQ(gate.arrivals(), 1u) << "only the picture in hand was prepared";
    EXPECT_EQ(m_window->last_result().outcome, PrepareOutcome::Stopped);
    EXPECT_TRUE(m_dialogs.messages().empty());
    EXPECT_TRUE(m_sent.empty());
    EXPECT_TRUE(folders_in_root().empty()) << folders_in_root().at(0);
    EXPECT_TRUE(m_window->isVisible());
    EXPECT_NE(m_window->result(), QDialog::Accepted);
    EXPECT_EQ(child<QComboBox>("destinataire")->currentText().toStdString(), "ann@example.org");
    EXPECT_TRUE(child<QPushButton>("prepare")->isEnabled());
    EXPECT_TRUE(recent_recipients(m_prefs).empty());
}

INSTANTIATE_TEST_SUITE_P(
    Ways, StopPreparation,
    ::testing::Values(StopCase{"StopButton",
                               [](mailform& window) {
                                   window.findChild<QPushButton*>(QStringLiteral("stop"))->click();
                               }},
                      StopCase{"ClosingTheWindow", [](mailform& window) { window.close(); }}),
    [](const ::testing::TestParamInfo<StopCase>& info) { return info.param.label; });

// An unexpected error during the preparation is told, and the copies made before it go.
TEST_F(MailWindow, AnErrorDuringThePreparationIsToldAndLeavesNoCopy) {
    set_mail_picture_hook([this](const std::string& picture) {
        if (picture == m_second)
            throw std::runtime_error("out of memory");
    });
    open({1, 2});
    click("prepare");
    const bool ended = preparation_ended();
    set_mail_picture_hook({});
    ASSERT_TRUE(ended);

    ASSERT_EQ(m_dialogs.messages().size(), 1u);
    EXPECT_EQ(m_dialogs.messages()[0].text,
              Remplacer("#1", "out of memory", m_language.translate("job_error")));
    EXPECT_TRUE(m_sent.empty());
    EXPECT_TRUE(folders_in_root().empty()) << folders_in_root().at(0);
    EXPECT_NE(m_window->result(), QDialog::Accepted);
    EXPECT_TRUE(child<QPushButton>("prepare")->isEnabled());
}

class DesktopMailClient : public MailWindow, public ::testing::WithParamInterface<const char*> {};

// Each mail client of the desktop, as xdg-email reaches it, gets the recipient, the subject,
// the message and every picture, whatever their names hold.
TEST_P(DesktopMailClient, ReceivesTheWholeMailOfThreePictures) {
    test::FakeDesktopMailProgram client(m_dir, GetParam());
    ASSERT_TRUE(client.ready());
    const Strings names = {"Beach day", "Anne, Paul", "l'été"};
    m_pictures.clear();
    for (const std::string& name : names) {
        const std::string picture = m_dir.file("dest/" + name + ".JPG");
        test::make_jpeg(picture, 64, 48);
        m_pictures.push_back({picture, ""});
    }
    m_window = std::make_unique<mailform>(
        MailContext{m_prefs, m_language, m_pictures, std::vector<int32_t>{1, 2, 3}, m_root,
                    m_dialogs},
        std::make_unique<SendixControl>(m_dialogs, m_language, real(SENDIX_LIBRARY)), nullptr);
    child<QComboBox>("destinataire")->setEditText(QStringLiteral("Lefèvre, Zoë <zoe@example.org>"));
    // A message that ends with a line break and holds a backslash travels as one link.
    child<QPlainTextEdit>("lemess")->setPlainText(QStringLiteral("From C:\\photos,\nbye\n"));
    m_dialogs.queue_answer(Answer::Yes);
    m_window->prepare_Click();
    ASSERT_TRUE(preparation_ended());
    ASSERT_TRUE(all_mails_handed_over());

    EXPECT_EQ(m_dialogs.messages().size(), 1u) << "only the question, no failure";
    const auto mails = client.composed();
    ASSERT_EQ(mails.size(), 1u);
    EXPECT_EQ(mails[0].to, Strings{"\"Lefèvre, Zoë\" <zoe@example.org>"});
    EXPECT_EQ(mails[0].subject, Strings{"Pictures of 2024-05-01"});
    EXPECT_EQ(mails[0].body, Strings{"From C:\\photos,\r\nbye\r\n"});
    EXPECT_TRUE(mails[0].missing.empty()) << mails[0].missing.at(0);
    const std::string folder = m_window->last_result().folder;
    EXPECT_EQ(mails[0].attach,
              (Strings{folder + "Beach day.jpg", folder + "Anne_ Paul.jpg", folder + "l'été.jpg"}));
    for (const std::string& path : mails[0].attach)
        EXPECT_EQ(get_image_size(path), "64,48") << path << " is still there for the client";
}

INSTANTIATE_TEST_SUITE_P(Clients, DesktopMailClient,
                         ::testing::Values("thunderbird", "evolution", "claws-mail"),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                             std::string name = info.param;
                             std::replace(name.begin(), name.end(), '-', '_');
                             return name;
                         });

// A mail program that was not running keeps xdg-email until it closes: the window closes and
// answers meanwhile, and a failure that comes then is still told, in the program's language.
TEST_F(MailWindow, ALateFailureIsToldInTheProgramsLanguage) {
    test::FakeXdgEmail xdg(m_dir);
    const std::string gate = m_dir.path() + "client-closed";
    xdg.wait_for_file(gate);
    xdg.set_exit("4");
    m_language = language_file("FRENCH.LNG");
    m_window = std::make_unique<mailform>(
        MailContext{m_prefs, m_language, m_pictures, std::vector<int32_t>{1, 2}, m_root, m_dialogs},
        std::make_unique<SendixControl>(m_dialogs, m_language, real(SENDIX_LIBRARY)), nullptr);
    child<QComboBox>("destinataire")->setEditText(QStringLiteral("ann@example.org"));
    m_dialogs.queue_answer(Answer::Yes);
    m_window->prepare_Click();
    ASSERT_TRUE(preparation_ended());

    EXPECT_EQ(m_window->result(), QDialog::Accepted) << "closed at once";
    ASSERT_EQ(xdg.wait_for_calls(1).size(), 1u);
    // The window's thread runs past the five seconds after which the hand-over used to be
    // taken as done.
    QTest::qWait(5500);
    EXPECT_TRUE(mails_under_way()) << "xdg-email has not ended yet";
    EXPECT_EQ(m_dialogs.messages().size(), 1u) << "nothing told before xdg-email ends";

    test::write_file(gate, "");
    ASSERT_TRUE(all_mails_handed_over());
    ASSERT_EQ(m_dialogs.messages().size(), 2u);
    EXPECT_EQ(m_dialogs.messages()[1].text,
              Remplacer("#1", std::to_string(2), m_language.translate("mail_send_failed")));
    EXPECT_NE(m_dialogs.messages()[1].text.find("erreur 2"), std::string::npos);
    EXPECT_TRUE(file_exists(m_window->last_result().folder + "IMG_1.jpg"))
        << "the copies stay for the mail program";
}

// Another installation's registration must not put its build of the component into this
// program.
TEST_F(MailWindow, CreatesTheComponentThatShipsWithTheProgram) {
    const std::string shipped = real(SENDIX_LIBRARY);
    const std::string other = m_dir.folder("other-build") + "libsendix.so";
    std::filesystem::copy_file(shipped, other);
    ASSERT_EQ(component::register_library(other), ORVIX_S_OK);
    ASSERT_EQ(component::find_class(sendix::control_class_id)->library, other);

    SendixControl control(m_dialogs, m_language, shipped);
    ASSERT_TRUE(control.ready()) << control.problem();
    EXPECT_FALSE(component::library_is_loaded(other)) << "the other build was loaded";
    EXPECT_TRUE(component::library_is_loaded(shipped));
}

} // namespace
} // namespace orvix
