// A program whose extra/ folder it cannot write: the shipped data is read from there, the
// preferences live in the user's configuration folder.
#include "app_fixture.h"

#include "settings/prefs.h"

#include <QLineEdit>

#include <filesystem>

namespace orvix::test {
namespace {

class InstalledTest : public AppTest {
protected:
    // The locations of a user whose configuration folder starts empty.
    StartUp per_user_start() const {
        LocationFacts facts = system_location_facts(m_program);
        EXPECT_FALSE(facts.extra_writable);
        facts.xdg_config_home = m_config;
        facts.xdg_data_home = m_dir.path() + "data";
        StartUp start = start_up();
        start.locations = find_locations(facts);
        return start;
    }

    std::string m_config = m_dir.folder("config");
    std::string m_shipped = read_file(m_program + "extra/prefs.prf");
};

TEST_F(InstalledTest, FirstRunStartsFromTheDefaultAndTheSecondReadsWhatTheFirstSaved) {
    ReadOnlyFolder read_only(m_program + "extra");
    if (!read_only.ok())
        GTEST_SKIP() << "cannot make a read-only folder here";
    const StartUp start = per_user_start();
    EXPECT_EQ(start.locations.prefs_file, m_config + "orvix/prefs.prf");

    Form1& first = run(start);
    EXPECT_EQ(child<QLineEdit>("quality")->text(), "80") << "the shipped default's quality";
    child<QLineEdit>("chemin")->setText("/media/card");
    EXPECT_TRUE(first.close());
    EXPECT_TRUE(m_dialogs.messages().empty()) << m_dialogs.messages()[0].text;
    const std::string saved = read_file(m_config + "orvix/prefs.prf");
    EXPECT_EQ(get_key_value("SOURCE_PATH", saved), "/media/card");
    EXPECT_EQ(get_key_value("QUALITYFACTOR", saved), "80");
    EXPECT_EQ(get_key_value("CURRENT_LANGUAGE", saved), "") << "the desktop's language decides";
    EXPECT_EQ(read_file(m_program + "extra/prefs.prf"), m_shipped);

    run(start);
    EXPECT_EQ(child<QLineEdit>("chemin")->text(), "/media/card");
    EXPECT_TRUE(m_dialogs.messages().empty());
}

TEST_F(InstalledTest, AUserFileThatCannotBeReadIsReportedAndLeftInPlace) {
    ReadOnlyFolder read_only(m_program + "extra");
    if (!read_only.ok())
        GTEST_SKIP() << "cannot make a read-only folder here";
    const StartUp start = per_user_start();
    m_dir.folder("config/orvix/prefs.prf");

    Form1& form = run(start);
    ASSERT_EQ(m_dialogs.messages().size(), 1u);
    EXPECT_EQ(m_dialogs.messages()[0].title, "Error");
    EXPECT_EQ(child<QLineEdit>("quality")->text(), "100") << "the built-in default";
    EXPECT_TRUE(form.close());
    EXPECT_EQ(m_dialogs.messages().size(), 2u) << "the failed save is reported too";
    EXPECT_TRUE(std::filesystem::is_directory(m_config + "orvix/prefs.prf"));
}

} // namespace
} // namespace orvix::test
