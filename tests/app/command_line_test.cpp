// The program's command line: the source folder a desktop hands over, and the refusal of
// anything else.
#include "app_fixture.h"

#include "app/command_line.h"
#include "settings/prefs.h"

#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>

#include <optional>

namespace orvix::test {
namespace {

struct ArgumentCase {
    const char* name;
    std::vector<std::string> arguments;
    std::optional<std::string> source; // none: the command line is refused
};

TEST(CommandLine, OneFolderOrLocalFileUrlAndNothingElse) {
    const std::optional<std::string> refused;
    const ArgumentCase cases[] = {
        {"NoArgument", {}, refused},
        {"AbsoluteFolder", {"/media/me/CARD"}, "/media/me/CARD"},
        {"MissingFolderIsStillTheSource", {"/media/none/"}, "/media/none/"},
        {"RelativeFolderFromTheCurrentOne", {"DCIM/../card"}, "/home/me/card"},
        {"DotIsTheCurrentFolder", {"."}, "/home/me/"},
        {"FileUrlWithEscapes",
         {"file:///media/me/My%20Card/%C3%89t%c3%a9"},
         "/media/me/My Card/\xC3\x89t\xC3\xA9"},
        {"FileUrlOfLocalhost", {"FILE://localhost/media/CARD"}, "/media/CARD"},
        {"EscapedPercentAndHash", {"file:///a%25b%23c"}, "/a%b#c"},
        {"DashDashBeforeAFolderThatLooksLikeAnOption", {"--", "-card"}, "/home/me/-card"},
        {"TwoFolders", {"/a", "/b"}, refused},
        {"AnOption", {"--help"}, refused},
        {"ALoneDash", {"-"}, refused},
        {"EmptyArgument", {""}, refused},
        {"DashDashAlone", {"--"}, refused},
        {"RemoteHost", {"file://server/share"}, refused},
        {"OtherScheme", {"smb://server/share"}, refused},
        {"FileSchemeWithoutSlashes", {"file:/media/CARD"}, refused},
        {"UrlWithoutPath", {"file://"}, refused},
        {"BadEscape", {"file:///a%zz"}, refused},
        {"CutEscape", {"file:///a%4"}, refused},
        {"EscapedNul", {"file:///a%00b"}, refused},
        {"Query", {"file:///media/CARD?x=1"}, refused},
        {"Fragment", {"file:///media/CARD#x"}, refused},
    };
    for (const ArgumentCase& c : cases) {
        SCOPED_TRACE(c.name);
        const CommandLine line = parse_command_line(c.arguments, "/home/me");
        EXPECT_EQ(line.valid, c.source.has_value() || c.arguments.empty());
        EXPECT_EQ(line.source, c.source);
    }
}

class CommandLineStartTest : public AppTest {
protected:
    Form1& start_with_source(const std::string& source) {
        write_file(prefs_path(m_program), prefs_file_text({{"SOURCE_PATH", "/old/source"}}));
        StartUp start = start_up();
        start.source = source;
        return run(start);
    }
};

TEST_F(CommandLineStartTest, TheFolderReplacesTheSourceAndIsKeptAtShutdown) {
    const std::string card = m_dir.folder("card");
    Form1& form = start_with_source(card);
    EXPECT_EQ(child<QLineEdit>("chemin")->text().toStdString(), card);
    EXPECT_EQ(child<QLabel>("statussrc")->text().toStdString(),
              shipped_text("ENGLISH", "no_picture_transferable"))
        << "the status is that of the given folder";
    EXPECT_TRUE(form.close());
    EXPECT_EQ(get_key_value("SOURCE_PATH", read_file(prefs_path(m_program))), card);
}

TEST_F(CommandLineStartTest, AMissingFolderIsShownRedAsAnyMissingSource) {
    start_with_source(m_dir.path() + "no-card");
    const QLabel* status = child<QLabel>("statussrc");
    EXPECT_EQ(status->text().toStdString(), shipped_text("ENGLISH", "source_unavailable"));
    EXPECT_EQ(status->palette().color(QPalette::WindowText), QColor(255, 0, 0));
    EXPECT_FALSE(child<QPushButton>("Command3")->isEnabled());
    EXPECT_TRUE(m_dialogs.messages().empty());
}

// The program itself, after Qt has taken its options: a refused command line prints one
// line on stderr and exits with 2 before any window or preferences file is touched.
TEST(ProgramCommandLine, AnythingElsePrintsTheUsageLineAndExitsWith2) {
    const char* folder = std::getenv("ORVIX_PROGRAM_DIR");
    ASSERT_NE(folder, nullptr) << "ORVIX_PROGRAM_DIR is not set";
    TempDir runtime;
    const std::vector<QStringList> refused = {
        {"-platform", "offscreen", "/a", "/b"},
        {"-platform", "offscreen", "--frobnicate"},
        {"-platform", "offscreen", "http://example.org/"},
    };
    for (const QStringList& arguments : refused) {
        SCOPED_TRACE(arguments.join(' ').toStdString());
        QProcess program;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        // Qt warns on stderr about a missing runtime folder; the test wants only ours.
        environment.insert("XDG_RUNTIME_DIR", QString::fromStdString(runtime.path()));
        program.setProcessEnvironment(environment);
        program.start(QString::fromStdString(std::string(folder) + "/orvixcam"), arguments);
        ASSERT_TRUE(program.waitForFinished(20000));
        EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(program.exitCode(), 2);
        EXPECT_EQ(program.readAllStandardError().toStdString(),
                  "Usage: orvixcam [Qt options] [FOLDER | file://URL]\n");
        EXPECT_TRUE(program.readAllStandardOutput().isEmpty());
    }
}

} // namespace
} // namespace orvix::test
