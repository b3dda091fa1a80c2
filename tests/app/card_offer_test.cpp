// A camera card inserted while the source is unavailable: noticed at the next tick of the
// camera watch, offered in the source status, made the source by one click.
#include "app_fixture.h"

#include "app/card_watch.h"
#include "settings/prefs.h"
#include "support/fake_volumes.h"
#include "support/images.h"
#include "text/text.h"

#include <QLabel>
#include <QLineEdit>

namespace orvix::test {
namespace {

struct WatchCase {
    const char* name;
    Disk disk;
    const char* dcim; // the folder made at the card's root, "" for none
    bool offered;
};

TEST(CardWatch, ANewRemovableVolumeWithDcimIsACard) {
    const WatchCase cases[] = {
        {"RemovableWithDcim", Disk::Removable, "DCIM", true},
        {"SdCardWithDcim", Disk::SdCard, "DCIM", true},
        {"LowerCaseDcim", Disk::Removable, "dcim", true},
        {"RemovableWithoutDcim", Disk::Removable, "", false},
        {"RemovableWithOtherFolder", Disk::Removable, "PICTURES", false},
        {"FixedDiskWithDcim", Disk::Fixed, "DCIM", false},
    };
    for (const WatchCase& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        FakeVolumes fake;
        CardWatch watch(list_volumes(fake.tables()));
        const std::string point = dir.path() + "card";
        fake.mount(point, c.disk);
        if (*c.dcim)
            dir.folder(std::string("card/") + c.dcim);
        const std::vector<Volume> cards = watch.look(list_volumes(fake.tables()));
        ASSERT_EQ(cards.size(), c.offered ? 1u : 0u);
        if (c.offered) {
            EXPECT_EQ(cards[0].mount_point, point);
        }
        EXPECT_TRUE(watch.look(list_volumes(fake.tables())).empty()) << "new only once";
    }
}

TEST(CardWatch, CardsMountedBeforeTheFirstLookAreNotNewButAMountAgainIs) {
    TempDir dir;
    FakeVolumes fake;
    fake.mount(dir.path() + "old", Disk::Removable);
    dir.folder("old/DCIM");
    CardWatch watch(list_volumes(fake.tables()));
    EXPECT_TRUE(watch.look(list_volumes(fake.tables())).empty());

    // Swapped between two looks: the same place, another mount.
    fake.unmount(dir.path() + "old");
    fake.mount(dir.path() + "old", Disk::Removable);
    fake.mount(dir.path() + "second", Disk::Removable);
    dir.folder("second/DCIM");
    const std::vector<Volume> cards = watch.look(list_volumes(fake.tables()));
    ASSERT_EQ(cards.size(), 2u);
    EXPECT_EQ(cards[0].mount_point, dir.path() + "old");
    EXPECT_EQ(cards[1].mount_point, dir.path() + "second");
}

class CardOfferTest : public AppTest {
protected:
    Form1& start_watching(const Prefs& prefs) {
        write_file(prefs_path(m_program), prefs_file_text(prefs));
        StartUp start = start_up();
        start.system_tables = m_volumes.tables();
        return run(start);
    }
    // Mounts a removable volume with a DCIM folder holding one picture.
    std::string insert_card(const char* name) {
        const std::string card = m_dir.path() + name;
        m_volumes.mount(card, Disk::Removable);
        make_jpeg(m_dir.folder(std::string(name) + "/DCIM/100CANON") + "IMG_0001.JPG", 16, 12);
        return card;
    }
    std::string status() const { return child<QLabel>("statussrc")->text().toStdString(); }
    std::string offer(const std::string& card) const {
        return Remplacer("#1", card, shipped_text("ENGLISH", "use_card"));
    }

    FakeVolumes m_volumes;
    std::string m_missing = m_dir.path() + "old-card/";
};

TEST_F(CardOfferTest, ACardInsertedWhileTheSourceIsMissingIsOfferedAndOneClickTakesIt) {
    Form1& form = start_watching({{"SOURCE_PATH", m_missing}});
    form.Timer1_Timer();
    EXPECT_EQ(status(), shipped_text("ENGLISH", "source_unavailable"));

    const std::string card = insert_card("CANON_DC");
    form.Timer1_Timer();
    EXPECT_EQ(status(), offer(card));
    EXPECT_EQ(child<QLineEdit>("chemin")->text().toStdString(), m_missing) << "only offered";
    form.Timer1_Timer();
    EXPECT_EQ(status(), offer(card)) << "the offer stays while the card is there";

    form.statussrc_Click();
    EXPECT_EQ(child<QLineEdit>("chemin")->text().toStdString(), card);
    EXPECT_EQ(status(), Remplacer("#1", "1", shipped_text("ENGLISH", "x_pictures_transferable")));
}

TEST_F(CardOfferTest, ACardRemovedBeforeTheNextTickIsNoLongerOffered) {
    Form1& form = start_watching({{"SOURCE_PATH", m_missing}});
    const std::string card = insert_card("CARD");
    form.Timer1_Timer();
    ASSERT_EQ(status(), offer(card));

    m_volumes.unmount(card);
    form.Timer1_Timer();
    EXPECT_EQ(status(), shipped_text("ENGLISH", "source_unavailable"));
    form.statussrc_Click();
    EXPECT_EQ(child<QLineEdit>("chemin")->text().toStdString(), m_missing);
}

TEST_F(CardOfferTest, ACardGoneBeforeTheClickIsNotTaken) {
    Form1& form = start_watching({{"SOURCE_PATH", m_missing}});
    const std::string card = insert_card("CARD");
    form.Timer1_Timer();
    ASSERT_EQ(status(), offer(card));
    m_volumes.unmount(card);
    form.statussrc_Click();
    EXPECT_EQ(child<QLineEdit>("chemin")->text().toStdString(), m_missing);
    EXPECT_EQ(status(), shipped_text("ENGLISH", "source_unavailable"));
}

TEST_F(CardOfferTest, NothingIsOfferedWhileTheSourceIsThereOrForNoCard) {
    const std::string source = m_dir.folder("source");
    Form1& form = start_watching({{"SOURCE_PATH", source}});
    insert_card("CARD");
    form.Timer1_Timer();
    EXPECT_EQ(status(), shipped_text("ENGLISH", "no_picture_transferable"));

    child<QLineEdit>("chemin")->setText(QString::fromStdString(m_missing));
    m_volumes.mount(m_dir.path() + "stick", Disk::Removable);
    m_volumes.mount(m_dir.path() + "disk", Disk::Fixed);
    m_dir.folder("disk/DCIM");
    form.Timer1_Timer();
    EXPECT_EQ(status(), shipped_text("ENGLISH", "source_unavailable"))
        << "neither a stick without DCIM nor a fixed disk is a card";
}

TEST_F(CardOfferTest, WhileAsleepACardWakesTheWindow) {
    Form1& form = start_watching({{"SOURCE_PATH", m_missing}, {"OPEN_ASLEEP", "1"}});
    ASSERT_FALSE(form.isVisible());
    form.Timer1_Timer();
    EXPECT_FALSE(form.isVisible());

    const std::string card = insert_card("CARD");
    form.Timer1_Timer();
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(status(), offer(card));
    EXPECT_TRUE(form.tray_flag()) << "waking keeps the icon, as pictures on the source do";
}

TEST_F(CardOfferTest, TheOfferIsInTheChosenLanguage) {
    Form1& form = start_watching({{"SOURCE_PATH", m_missing}, {"CURRENT_LANGUAGE", "FRENCH.LNG"}});
    const std::string card = insert_card("CARD");
    form.Timer1_Timer();
    EXPECT_EQ(status(), Remplacer("#1", card, shipped_text("FRENCH", "use_card")));
    EXPECT_NE(shipped_text("FRENCH", "use_card"), shipped_text("ENGLISH", "use_card"));
}

} // namespace
} // namespace orvix::test
