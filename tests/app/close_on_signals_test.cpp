// SIGTERM and SIGINT end the program as closing its window does.
#include "app_fixture.h"

#include "app/close_on_signals.h"
#include "fs/fs.h"
#include "settings/prefs.h"

#include <QElapsedTimer>
#include <QLineEdit>
#include <QProcess>
#include <QThread>

#include <algorithm>
#include <csignal>
#include <filesystem>

namespace orvix::test {
namespace {

using CloseOnSignalsTest = AppTest;

// Lets the event loop run until the thumbnail folder is gone, ten seconds at most.
bool wait_for_unload(const std::string& thumbs) {
    QElapsedTimer clock;
    clock.start();
    while (folder_exists(thumbs) && clock.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    return !folder_exists(thumbs);
}

TEST_F(CloseOnSignalsTest, SigtermOrSigintDuringIdleWritesThePreferencesAndRemovesTheThumbnails) {
    const std::tuple<int, const char*> cases[] = {{SIGTERM, "0"}, {SIGINT, "0"}, {SIGTERM, "1"}};
    for (const auto& [signal_number, asleep] : cases) {
        SCOPED_TRACE(std::to_string(signal_number) + " asleep " + asleep);
        CloseOnSignals closer;
        Form1& form = start({{"QUALITYFACTOR", "80"}, {"OPEN_ASLEEP", asleep}});
        closer.close_on_signal(&form);
        write_file(m_thumbs + "IMG_0001.jpg", "thumb");
        child<QLineEdit>("chemin")->setText("/media/typed");

        ASSERT_EQ(::raise(signal_number), 0);
        ASSERT_TRUE(wait_for_unload(m_thumbs));
        EXPECT_FALSE(form.isVisible());
        EXPECT_FALSE(m_tray->shown);
        EXPECT_EQ(get_key_value("SOURCE_PATH", read_file(prefs_path(m_program))), "/media/typed");
    }
}

TEST_F(CloseOnSignalsTest, ASignalDuringStartUpClosesTheWindowOnceItExists) {
    CloseOnSignals closer;
    ASSERT_EQ(::raise(SIGTERM), 0);
    QCoreApplication::processEvents();
    Form1& form = start({{"SOURCE_PATH", "/media/early"}});
    EXPECT_TRUE(form.isVisible());
    closer.close_on_signal(&form);
    ASSERT_TRUE(wait_for_unload(m_thumbs));
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(get_key_value("SOURCE_PATH", read_file(prefs_path(m_program))), "/media/early");
}

TEST(CloseOnSignals, TheEarlierHandlersComeBackAfterwards) {
    struct sigaction before {};
    ::sigaction(SIGTERM, nullptr, &before);
    {
        CloseOnSignals closer;
        struct sigaction during {};
        ::sigaction(SIGTERM, nullptr, &during);
        EXPECT_NE(during.sa_handler, before.sa_handler);
    }
    struct sigaction after {};
    ::sigaction(SIGTERM, nullptr, &after);
    EXPECT_EQ(after.sa_handler, before.sa_handler);
}

int thumbnail_folders(const std::string& tmp) {
    std::vector<std::string> folders;
    list_files(tmp, folders, "folders", false);
    return static_cast<int>(std::count_if(folders.begin(), folders.end(), [](const std::string& f) {
        return file_name(f, true).starts_with("orvix-thumbs-");
    }));
}

// The program itself, in a portable copy of its own: started asleep or shown, ended by
// SIGTERM, it exits with 0 after writing its preferences and removing its thumbnails.
TEST(ProgramSignals, SigtermEndsTheProgramCleanly) {
    const char* built = std::getenv("ORVIX_PROGRAM_DIR");
    const char* source = std::getenv("ORVIX_SOURCE_DIR");
    ASSERT_TRUE(built && source) << "run through CTest";
    for (const char* asleep : {"0", "1"}) {
        SCOPED_TRACE(std::string("OPEN_ASLEEP=") + asleep);
        TempDir dir;
        const std::string program = dir.folder("bin");
        std::filesystem::copy_file(std::string(built) + "/orvixcam", program + "orvixcam");
        std::filesystem::copy(std::string(source) + "/resources/extra", program + "extra",
                              std::filesystem::copy_options::recursive);
        write_file(program + "extra/prefs.prf",
                   "$CURRENT_LANGUAGE=ENGLISH.LNG\r$OPEN_ASLEEP=" + std::string(asleep));
        const std::string tmp = dir.folder("tmp");

        QProcess orvixcam;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("TMPDIR", QString::fromStdString(tmp));
        environment.insert("XDG_RUNTIME_DIR", QString::fromStdString(dir.folder("runtime")));
        orvixcam.setProcessEnvironment(environment);
        orvixcam.start(QString::fromStdString(program + "orvixcam"),
                       {"-platform", "offscreen", "/media/given"});
        ASSERT_TRUE(orvixcam.waitForStarted(10000));
        // The thumbnail folder is made once the handlers are in place.
        QElapsedTimer clock;
        clock.start();
        while (thumbnail_folders(tmp) == 0 && clock.elapsed() < 20000)
            QThread::msleep(20);
        ASSERT_EQ(thumbnail_folders(tmp), 1) << "the program made no thumbnail folder";

        ::kill(static_cast<pid_t>(orvixcam.processId()), SIGTERM);
        ASSERT_TRUE(orvixcam.waitForFinished(20000));
        EXPECT_EQ(orvixcam.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(orvixcam.exitCode(), 0) << orvixcam.readAllStandardError().toStdString();
        EXPECT_EQ(thumbnail_folders(tmp), 0) << "the thumbnail folder stays";
        const std::string saved = read_file(program + "extra/prefs.prf");
        EXPECT_EQ(get_key_value("SOURCE_PATH", saved), "/media/given");
        EXPECT_EQ(get_key_value("OPEN_ASLEEP", saved), asleep);
    }
}

} // namespace
} // namespace orvix::test
