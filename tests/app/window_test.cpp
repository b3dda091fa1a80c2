// The naming options, the language switch, the toolbar and the arrangement of the window.
#include "app_fixture.h"

#include "app/layout.h"
#include "controls/progress/vumbar.h"
#include "platform/qt/qt_dialogs.h"
#include "text/text.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include <algorithm>

namespace orvix::test {
namespace {

using WindowTest = AppTest;

TEST_F(WindowTest, EveryControlCarriesItsName) {
    Form1& form = start({});
    for (const char* name : {"tabstrip",     "frame_transfert",
                             "Frame1",       "chemin",
                             "statussrc",    "Command2",
                             "Command3",     "Frame2",
                             "destin",       "freedest",
                             "dest",         "Command4",
                             "xfer",         "pbar",
                             "vsplit",       "tb",
                             "tex",          "frame_setup",
                             "none",         "cre",
                             "modific",      "otherrename",
                             "renpattern",   "otherrenameinfo",
                             "subdir",       "delete",
                             "showthumbs",   "asleep",
                             "formatchoice", "quality",
                             "qualitylabel", "fileformatlabel",
                             "lnglabel",     "lng",
                             "frame_infos",  "infobox",
                             "StatusBar1",   "Image1"})
        EXPECT_NE(form.findChild<QWidget*>(name), nullptr) << name;
    EXPECT_NE(form.findChild<QObject*>("Timer1"), nullptr);
    const auto* bar = child<Vumbar>("pbar");
    EXPECT_EQ(bar->Caption(), "{value}/{max}");
    EXPECT_FALSE(bar->BackColor_Relief());
    EXPECT_FALSE(bar->isVisibleTo(&form));
}

TEST_F(WindowTest, NamingModeEnablesTheDependentControls) {
    const struct {
        const char* option;
        const char* pattern;
        bool subdir;
        bool info_and_pattern;
    } cases[] = {
        {"none", "{creationdate}", false, false},
        {"cre", "", true, false},
        {"modific", "", true, false},
        {"otherrename", "{same}", false, true},
        {"otherrename", "{creationdate}-{same}", true, true},
        {"otherrename", "x{modificationdate}", true, true},
        {"otherrename", "{CreationDate}", false, true},
    };
    start({});
    for (const auto& test : cases) {
        child<QLineEdit>("renpattern")->setText(test.pattern);
        child<QRadioButton>(test.option)->click();
        EXPECT_EQ(child<QCheckBox>("subdir")->isEnabled(), test.subdir)
            << test.option << " " << test.pattern;
        EXPECT_EQ(!child<QLabel>("otherrenameinfo")->isHidden(), test.info_and_pattern);
        EXPECT_EQ(child<QLineEdit>("renpattern")->isEnabled(), test.info_and_pattern);
    }
}

TEST_F(WindowTest, TypingAPatternWaitsForTheNextOptionClick) {
    start({{"RENAME_WITH", "OTHER"}, {"RENAME_PATTERN", "{same}"}});
    EXPECT_FALSE(child<QCheckBox>("subdir")->isEnabled());
    QTest::keyClicks(child<QLineEdit>("renpattern"), "{creationdate}");
    EXPECT_FALSE(child<QCheckBox>("subdir")->isEnabled());
    child<QRadioButton>("otherrename")->click();
    EXPECT_TRUE(child<QCheckBox>("subdir")->isEnabled());
}

TEST_F(WindowTest, ChoosingALanguageRelabelsEverythingAndKeepsTheFormat) {
    Form1& form = start({{"FILECONVERSION", "4"}});
    QComboBox* languages = child<QComboBox>("lng");
    EXPECT_EQ(languages->currentData(), "ENGLISH");
    const int french = languages->findData("FRENCH");
    ASSERT_GE(french, 0);
    languages->setCurrentIndex(french);
    form.lng_Click();

    auto fr = [](const char* key) { return QString::fromStdString(shipped_text("FRENCH", key)); };
    EXPECT_EQ(child<QLabel>("lnglabel")->text(), fr("language"));
    const QTabWidget* tabs = child<QTabWidget>("tabstrip");
    EXPECT_EQ(tabs->tabText(0), fr("tab_imagetransfer"));
    EXPECT_EQ(child<QGroupBox>("Frame2")->title(), fr("generic_destination"));
    EXPECT_EQ(child<QPushButton>("xfer")->text(), fr("btn_transfer"));
    EXPECT_EQ(
        child<QLabel>("otherrenameinfo")->text(),
        QString::fromStdString(Remplacer("<BR>", "\r\n", fr("otherrename_info").toStdString())));
    EXPECT_FALSE(child<QLabel>("otherrenameinfo")->text().contains("<BR>"));

    const QComboBox* formats = child<QComboBox>("formatchoice");
    EXPECT_EQ(formats->currentIndex(), 4);
    EXPECT_EQ(formats->itemText(0), fr("noconversion"));

    const auto* tb = child<QToolBar>("tb");
    const QList<QAction*> buttons = tb->actions();
    // The seven buttons, then the undo button after a separator of its own.
    ASSERT_EQ(buttons.size(), 9);
    EXPECT_TRUE(buttons[3]->isSeparator());
    EXPECT_TRUE(buttons[5]->isSeparator());
    EXPECT_TRUE(buttons[7]->isSeparator());
    // Followed by the shortcut.
    EXPECT_TRUE(buttons[0]->toolTip().startsWith(fr("tb_rotate") + " ("))
        << buttons[0]->toolTip().toStdString();
    EXPECT_TRUE(buttons[6]->toolTip().startsWith(fr("send_mail") + " ("));
    EXPECT_EQ(buttons[8]->objectName(), QStringLiteral("undo"));
    EXPECT_EQ(buttons[8]->toolTip(), fr("tb_undo") + QStringLiteral(" (Ctrl+Z)"));
    ASSERT_NE(buttons[0]->menu(), nullptr);
    EXPECT_EQ(buttons[0]->menu()->actions().at(3)->text(), fr("tb_fliph"));
    const QList<QAction*> sizes = buttons[2]->menu()->actions();
    ASSERT_EQ(sizes.size(), 6);
    EXPECT_EQ(sizes.at(0)->text(), QString(fr("big_axis")).replace("#1", "480"));
    EXPECT_EQ(sizes.at(5)->text(), QString(fr("big_axis")).replace("#1", "2048"));
    auto* rotate = qobject_cast<QToolButton*>(tb->widgetForAction(buttons[0]));
    ASSERT_NE(rotate, nullptr);
    EXPECT_EQ(rotate->popupMode(), QToolButton::MenuButtonPopup);

    EXPECT_NE(form.state().prefs_text.find("$CURRENT_LANGUAGE=FRENCH.lng"), std::string::npos);
    EXPECT_EQ(languages->currentIndex(), french) << "the list shows the language chosen";
    EXPECT_EQ(child<QLabel>("statussrc")->text(), fr("source_unavailable"))
        << "status texts are rebuilt in the new language";
}

// The texts of the standard buttons of a Yes/No box and of an input box, as shown.
std::vector<QString> box_button_texts(Dialogs& dialogs) {
    std::vector<QString> texts;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        texts.push_back(box->button(QMessageBox::Yes)->text());
        texts.push_back(box->button(QMessageBox::No)->text());
        box->button(QMessageBox::No)->click();
    });
    dialogs.message_box("?", "", Icon::Question, Buttons::YesNo);
    QTimer::singleShot(0, [&] {
        QWidget* box = QApplication::activeModalWidget();
        for (QPushButton* button : box->findChildren<QPushButton*>())
            texts.push_back(button->text());
        qobject_cast<QDialog*>(box)->reject();
    });
    dialogs.input_box("?", "Twins !!!", "a-bis");
    return texts;
}

TEST_F(WindowTest, TheStandardButtonsOfTheBoxesFollowTheChosenLanguage) {
    Form1& form = start({{"CURRENT_LANGUAGE", "FRENCH.LNG"}});
    QtDialogs boxes(&form);
    std::vector<QString> french = box_button_texts(boxes);
    std::sort(french.begin(), french.end());
    EXPECT_EQ(french, (std::vector<QString>{"&Non", "&Oui", "Annuler", "OK"}));

    QComboBox* languages = child<QComboBox>("lng");
    languages->setCurrentIndex(languages->findData("ENGLISH"));
    form.lng_Click();
    std::vector<QString> english = box_button_texts(boxes);
    std::sort(english.begin(), english.end());
    EXPECT_EQ(english, (std::vector<QString>{"&No", "&Yes", "Cancel", "OK"}));
}

TEST_F(WindowTest, ToolbarStaysDisabledWithoutASelection) {
    start({{"SHOW_THUMBS", "1"}});
    const QList<QAction*> buttons = child<QToolBar>("tb")->actions();
    for (QAction* button : buttons) {
        if (!button->isSeparator()) {
            EXPECT_FALSE(button->isEnabled()) << button->objectName().toStdString();
        }
    }
}

TEST_F(WindowTest, AVerySmallWindowKeepsItsControlsUsable) {
    Form1& form = start({});
    form.resize(640, 480);
    const QSize page = child<QWidget>("frame_transfert")->size();
    EXPECT_EQ(child<QWidget>("frame_transfert")->x(), to_int(100 / form.twips_per_pixel()));
    form.resize(1, 1);
    EXPECT_EQ(child<QWidget>("frame_transfert")->size(), page)
        << "sizes that would become negative are left as they were";
    form.resize(640, 480);
    EXPECT_EQ(child<QWidget>("frame_transfert")->size(), page);
}

TEST(Layout, FramesSpanThePageWithoutThumbnailsAndTheColumnWithThem) {
    MainLayout layout = design_layout(300, 400);
    arrange_layout(layout, 12000, 9000, false);
    EXPECT_EQ(layout.page, (Rect::sized(100, 400, 11800, 9000 - 300 - 50 - 500)));
    EXPECT_EQ(layout.frame1.width(), 11800 - 200);
    EXPECT_EQ(layout.xfer.left, (11800 - layout.xfer.width()) / 2);
    EXPECT_EQ(layout.open_button.right, layout.frame1.width() - 100);
    EXPECT_EQ(layout.folder_box.right, layout.open_button.left - 100);
    EXPECT_EQ(layout.status_label.right, layout.frame1.width() - 100);

    arrange_layout(layout, 12000, 9000, true);
    EXPECT_EQ(layout.frame1.width(), layout.vsplit.left - 200);
    EXPECT_EQ(layout.xfer.left, (layout.vsplit.left - layout.xfer.width()) / 2);
    EXPECT_EQ(layout.tb.left, layout.vsplit.right);
    EXPECT_EQ(layout.tb.right, layout.page.width() - 100);
    EXPECT_EQ(layout.tex.top, layout.tb.bottom + 100);
    EXPECT_EQ(layout.tex.bottom, layout.page.height() - 100);
    EXPECT_EQ(layout.vsplit.height(), layout.page.height());
    EXPECT_EQ(layout.infobox, (Rect::sized(100, 150, 11600, layout.page.height() - 200)));
    // The bar, its stop button and the speed line end 150 from the right and 50 from
    // the bottom, the button as tall as the bar and the line together.
    EXPECT_EQ(layout.cancelxfer.right, 12000 - 150);
    EXPECT_EQ(layout.cancelxfer.bottom, 9000 - 50);
    EXPECT_EQ(layout.pbar.right, layout.cancelxfer.left - 100);
    EXPECT_EQ(layout.pbar.top, layout.cancelxfer.top);
    EXPECT_EQ(layout.xferinfo, (Rect{layout.pbar.left, layout.pbar.bottom, layout.pbar.right,
                                     layout.cancelxfer.bottom}));
    layout.captions.cancel = 2000;
    arrange_layout(layout, 12000, 9000, true);
    EXPECT_EQ(layout.cancelxfer.width(), 2000);
    EXPECT_EQ(layout.pbar.right, 12000 - 150 - 2000 - 100);
}

TEST(Layout, ButtonsGrowToTheirCaptionsAndNeverShrinkBelowTheirDesignWidth) {
    MainLayout layout = design_layout(300, 400);
    const MainLayout design = layout;
    arrange_layout(layout, 12000, 9000, false);
    const Rect folder_box = layout.folder_box;

    layout.captions = {1600, 1300, 3000};
    arrange_layout(layout, 12000, 9000, false);
    EXPECT_EQ(layout.browse_button.width(), 1600);
    EXPECT_EQ(layout.browse_button.left, design.browse_button.left);
    EXPECT_EQ(layout.status_label.left, layout.browse_button.right + 150);
    EXPECT_EQ(layout.status_label.right, layout.frame1.width() - 100);
    EXPECT_EQ(layout.open_button.width(), 1300);
    EXPECT_EQ(layout.open_button.right, layout.frame1.width() - 100);
    EXPECT_EQ(layout.folder_box.right, layout.open_button.left - 100);
    EXPECT_EQ(layout.folder_box.width(), folder_box.width() - 150);
    EXPECT_EQ(layout.xfer.width(), 3000);
    EXPECT_EQ(layout.xfer.left, (11800 - 3000) / 2);

    layout.captions = {500, 0, 100};
    arrange_layout(layout, 12000, 9000, false);
    EXPECT_EQ(layout.browse_button, design.browse_button);
    EXPECT_EQ(layout.status_label.left, design.status_label.left);
    EXPECT_EQ(layout.open_button.width(), design.open_button.width());
    EXPECT_EQ(layout.folder_box, folder_box);
    EXPECT_EQ(layout.xfer.width(), design.xfer.width());
}

TEST_F(WindowTest, FrenchCaptionsFitTheirButtons) {
    Form1& form = start({{"CURRENT_LANGUAGE", "FRENCH.LNG"}});
    form.resize(800, 560);
    for (const char* name : {"Command2", "dest", "Command3", "Command4", "xfer"}) {
        const QPushButton* button = child<QPushButton>(name);
        EXPECT_GE(button->width(), button->sizeHint().width()) << name;
    }
    const auto* browse = child<QPushButton>("Command2");
    EXPECT_GE(child<QLabel>("statussrc")->x(), browse->geometry().right()) << "no overlap";
}

} // namespace
} // namespace orvix::test
