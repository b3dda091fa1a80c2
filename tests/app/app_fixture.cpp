#include "app_fixture.h"

#include <QPushButton>
#include <QTest>

#include "app/program.h"
#include "settings/language.h"
#include "settings/prefs.h"

#include <cstdlib>
#include <filesystem>

namespace orvix::test {

namespace {

std::unique_ptr<QApplication> application;

// The application ends with the tests, before the process's own exit handlers run: Qt's
// platform state does not survive being torn down from a static destructor.
class QtEnvironment : public ::testing::Environment {
public:
    void TearDown() override { application.reset(); }
};

const ::testing::Environment* const qt_environment =
    ::testing::AddGlobalTestEnvironment(new QtEnvironment);

} // namespace

QApplication& qt_app() {
    static int argc = 1;
    static char name[] = "test_app";
    static char* argv[] = {name, nullptr};
    if (!application)
        application = std::make_unique<QApplication>(argc, argv);
    return *application;
}

std::string prefs_file_text(const Prefs& prefs) {
    std::string text;
    for (const auto& [key, value] : prefs) {
        if (!text.empty())
            text += '\r';
        text += "$" + key + "=" + value;
    }
    return text;
}

AppTest::AppTest() {
    qt_app();
    m_program = m_dir.folder("program");
    m_env.set("XDG_DATA_HOME", m_dir.folder("xdg-data"));
    // A deleted picture goes to the trash of the test's own home, never the machine's.
    m_env.set("HOME", m_dir.folder("home"));
    m_thumbs = m_dir.path() + "thumbs/";
    const char* source = std::getenv("ORVIX_SOURCE_DIR");
    std::filesystem::copy(std::string(source ? source : ".") + "/resources/extra",
                          m_program + "extra", std::filesystem::copy_options::recursive);
}

AppTest::~AppTest() {
    m_form.reset();
}

Form1& AppTest::start(const Prefs& prefs, bool tray_available) {
    return start_with_text(prefs_file_text(prefs), tray_available);
}

Form1& AppTest::start_with_text(const std::string& prefs_text, bool tray_available) {
    write_file(prefs_path(m_program), prefs_text);
    return run(start_up(), tray_available);
}

Form1& AppTest::run(const StartUp& start, bool tray_available) {
    // The window of an earlier run closes first, as a program that ended would have.
    m_form.reset();
    auto tray = std::make_unique<FakeTray>(tray_available);
    m_tray = tray.get();
    m_form = Main(start, std::move(tray), m_desktop);
    return *m_form;
}

StartUp AppTest::start_up() const {
    StartUp start;
    start.locations = portable_locations(m_program);
    start.thumbs_dir = m_thumbs;
    return start;
}

void AppTest::click_transfer_and_wait() {
    QTest::mouseClick(child<QPushButton>("xfer"), Qt::LeftButton);
    EXPECT_TRUE(m_form->transfer_running());
    EXPECT_TRUE(QTest::qWaitFor([&] { return !m_form->transfer_running(); }, 60000));
}

std::string AppTest::shipped_text(const std::string& language, const std::string& key) {
    const char* source = std::getenv("ORVIX_SOURCE_DIR");
    LanguageTable table;
    table.parse_language_text(read_file(std::string(source ? source : ".") +
                                        "/resources/extra/languages/" + language + ".LNG"));
    return table.translate(key);
}

} // namespace orvix::test
