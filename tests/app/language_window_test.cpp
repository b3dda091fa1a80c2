// The window in the chosen language to the last word: the About page, the language list,
// the notification-area tip, and a first start in the desktop's language.
#include "app_fixture.h"

#include "fs/fs.h"
#include "settings/language.h"
#include "settings/prefs.h"

#include <QComboBox>
#include <QPlainTextEdit>
#include <QTabWidget>

#include <algorithm>
#include <vector>

namespace orvix::test {
namespace {

class LanguageWindowTest : public AppTest {
protected:
    void choose_language(const char* name) {
        auto* list = child<QComboBox>("lng");
        list->setCurrentIndex(list->findData(QString::fromLatin1(name)));
        m_form->lng_Click();
    }
    QString info_text() const { return child<QPlainTextEdit>("infobox")->toPlainText(); }
    QString shipped_info(const char* name) const {
        return QString::fromStdString(read_file(m_program + "extra/" + name));
    }
    // The file of the entry the language list shows selected.
    std::string list_text() const {
        return child<QComboBox>("lng")->currentData().toString().toStdString();
    }
    std::vector<QString> list_entries() const {
        const auto* list = child<QComboBox>("lng");
        std::vector<QString> entries;
        for (int i = 0; i < list->count(); ++i)
            entries.push_back(list->itemText(i));
        std::sort(entries.begin(), entries.end());
        return entries;
    }
    std::string first_tab() const {
        return child<QTabWidget>("tabstrip")->tabText(0).toStdString();
    }
};

TEST_F(LanguageWindowTest, TheAboutPageIsInTheChosenLanguage) {
    start({{"CURRENT_LANGUAGE", "FRENCH.LNG"}});
    EXPECT_EQ(info_text(), shipped_info("infos_fr.txt"));
    EXPECT_TRUE(info_text().contains(QStringLiteral("appareil photo"))) << "French text";

    choose_language("ENGLISH");
    EXPECT_EQ(info_text(), shipped_info("infos.txt"));
    choose_language("FRENCH");
    EXPECT_EQ(info_text(), shipped_info("infos_fr.txt"));
}

TEST_F(LanguageWindowTest, ALanguageWithoutAnAboutPageOfItsOwnShowsTheShippedOne) {
    write_file(m_program + "extra/languages/BRETON.LNG",
               "tab_imagetransfer=Treuzkas\rinfo_file=infos_br.txt\r");
    start({{"CURRENT_LANGUAGE", "BRETON.LNG"}});
    EXPECT_EQ(first_tab(), "Treuzkas");
    EXPECT_EQ(info_text(), shipped_info("infos.txt"));
}

TEST_F(LanguageWindowTest, TheLanguageListShowsTheLanguageInUse) {
    const std::pair<std::string, std::string> cases[] = {
        {"ENGLISH.LNG", "ENGLISH"},
        {"FRENCH.LNG", "FRENCH"},
        {"FRENCH.lng", "FRENCH"},
        {"GERMAN.lng", "ENGLISH"}, // missing: English is loaded, and shown
        {"", "ENGLISH"},
    };
    for (const auto& [stored, shown] : cases) {
        start({{"CURRENT_LANGUAGE", stored}});
        EXPECT_EQ(list_text(), shown) << stored;
    }
    choose_language("FRENCH");
    EXPECT_EQ(list_text(), "FRENCH") << "after a choice";
}

TEST_F(LanguageWindowTest, EachLanguageIsListedUnderItsOwnName) {
    write_file(m_program + "extra/languages/BRETON.LNG", "tab_imagetransfer=Treuzkas\r");
    const std::vector<QString> shown = {QStringLiteral("BRETON"), QStringLiteral("English"),
                                        QStringLiteral("Français")};
    start({{"CURRENT_LANGUAGE", "FRENCH.LNG"}});
    EXPECT_EQ(list_entries(), shown);
    EXPECT_EQ(child<QComboBox>("lng")->currentText(), QStringLiteral("Français"));
    choose_language("ENGLISH");
    EXPECT_EQ(list_entries(), shown) << "the same in every language";
    EXPECT_EQ(get_key_value("CURRENT_LANGUAGE", m_form->state().prefs_text), "ENGLISH.lng");
    choose_language("BRETON");
    EXPECT_EQ(first_tab(), "Treuzkas");
    EXPECT_EQ(get_key_value("CURRENT_LANGUAGE", m_form->state().prefs_text), "BRETON.lng");
}

TEST_F(LanguageWindowTest, TheNotificationTipFollowsTheLanguage) {
    start({{"CURRENT_LANGUAGE", "FRENCH.LNG"}, {"OPEN_ASLEEP", "1"}});
    EXPECT_EQ(m_tray->tip, shipped_text("FRENCH", "tray_tip"));
    EXPECT_EQ(m_tray->tip, "Orvix est en attente de vos images...");

    m_tray->click();
    choose_language("ENGLISH");
    EXPECT_TRUE(m_tray->shown);
    EXPECT_EQ(m_tray->tip, shipped_text("ENGLISH", "tray_tip")) << "the icon stays, in English";
    EXPECT_NE(m_tray->tip, shipped_text("FRENCH", "tray_tip"));
}

TEST_F(LanguageWindowTest, AStartWithoutALanguageTakesTheDesktopsWhenOneMatches) {
    const struct {
        const char* label;
        LocaleVariables desktop;
        const char* stored;
        const char* language;
    } cases[] = {
        {"French desktop", {"", "", "", "fr_FR.UTF-8"}, "", "FRENCH"},
        {"Belgian French messages", {"", "", "fr_BE.UTF-8", "en_GB.UTF-8"}, "", "FRENCH"},
        {"German desktop", {"", "", "", "de_DE.UTF-8"}, "", "ENGLISH"},
        {"German, then French", {"de:fr", "", "", "de_DE.UTF-8"}, "", "FRENCH"},
        {"C locale", {"fr", "", "", "C.UTF-8"}, "", "ENGLISH"},
        {"the preferences win", {"", "", "", "fr_FR.UTF-8"}, "ENGLISH.LNG", "ENGLISH"},
    };
    for (const auto& c : cases) {
        const Prefs prefs = *c.stored ? Prefs{{"CURRENT_LANGUAGE", c.stored}} : Prefs{};
        write_file(prefs_path(m_program), prefs_file_text(prefs));
        StartUp start = start_up();
        start.desktop_languages = desktop_languages(c.desktop);
        run(start);
        EXPECT_EQ(first_tab(), shipped_text(c.language, "tab_imagetransfer")) << c.label;
        EXPECT_EQ(list_text(), c.language) << c.label;
        EXPECT_EQ(get_key_value("CURRENT_LANGUAGE", m_form->state().prefs_text), c.stored)
            << c.label << ": the desktop's choice is not stored";
    }
}

} // namespace
} // namespace orvix::test
