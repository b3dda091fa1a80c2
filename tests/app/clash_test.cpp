// A second transfer of the same card, clicked in the main window: the "Twins !!!" question
// with its check box answered on the real box, the speed line while it waits, the report of
// the skipped pictures, and a destination that is made on the spot.
#include "app_fixture.h"

#include "fs/fs.h"
#include "platform/qt/qt_dialogs.h"
#include "support/images.h"
#include "support/temp_dir.h"
#include "text/text.h"
#include "transfer/transfer.h"

#include <QCheckBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <cstdio>
#include <set>
#include <string>
#include <vector>

namespace orvix::test {
namespace {

// Answers the real boxes as they open, as a user would: the question with its check box
// checked and its proposal kept, every message with its OK button.
class BoxAnswerer {
public:
    struct Question {
        QString title;
        QString proposal;
        QString check_text;
        bool checked_when_shown = true;
        QString speed_line;
    };

    explicit BoxAnswerer(const QLabel& speed_line) : m_speed_line(speed_line) {
        m_poll.setInterval(10);
        QObject::connect(&m_poll, &QTimer::timeout, [this] { answer_open_box(); });
        m_poll.start();
    }

    std::vector<Question> questions;
    std::vector<QString> messages;

private:
    void answer_open_box() {
        // A box just answered is hidden before its window goes.
        QWidget* box = QApplication::activeModalWidget();
        if (!box || !box->isVisible())
            return;
        if (auto* message = qobject_cast<QMessageBox*>(box)) {
            messages.push_back(message->text());
            message->button(QMessageBox::Ok)->click();
            return;
        }
        auto* same = box->findChild<QCheckBox*>("sameanswer");
        auto* answer = box->findChild<QLineEdit*>();
        auto* buttons = box->findChild<QDialogButtonBox*>();
        if (!same || !answer || !buttons) {
            // Not the box the question should be: noted, and closed so the run goes on.
            questions.push_back({box->windowTitle(), {}, {}, false, m_speed_line.text()});
            if (auto* dialog = qobject_cast<QDialog*>(box))
                dialog->accept();
            return;
        }
        questions.push_back({box->windowTitle(), answer->text(), same->text(), same->isChecked(),
                             m_speed_line.text()});
        QTest::mouseClick(same, Qt::LeftButton, {}, QPoint(4, same->height() / 2));
        QTest::mouseClick(buttons->button(QDialogButtonBox::Ok), Qt::LeftButton);
    }

    const QLabel& m_speed_line;
    QTimer m_poll;
};

class ClashTest : public AppTest {
protected:
    ~ClashTest() override { set_after_copy_hook({}); }

    std::string make_card(int count) {
        const std::string card = m_dir.folder("card");
        for (int i = 1; i <= count; ++i)
            make_jpeg(card + picture_name(i, ""), 64, 48);
        return card;
    }
    static std::string picture_name(int i, const char* suffix) {
        char name[32];
        std::snprintf(name, sizeof name, "IMG_%04d%s.jpg", i, suffix);
        return name;
    }
    std::string text(const char* language, const char* key) const {
        return shipped_text(language, key);
    }
};

TEST_F(ClashTest, ASecondTransferWithTheSameAnswerAsksOnceAndFilesEveryPictureAsItsProposal) {
    const int count = 6;
    const std::string card = make_card(count);
    const std::string photos = m_dir.folder("photos");
    Form1& form = start({{"SOURCE_PATH", card}, {"DEST_PATH", photos}, {"RENAME_WITH", "NO"}});
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    click_transfer_and_wait();
    ASSERT_TRUE(m_dialogs.inputs().empty());

    // The second time, on the real boxes.
    QtDialogs boxes(&form);
    const ScopedDialogs real(boxes);
    const auto* speed_line = child<QLabel>("xferinfo");
    BoxAnswerer user(*speed_line);
    // Once the question is answered, the line no longer says the run waits.
    std::vector<QString> lines_after_answer;
    set_after_copy_hook([&](const std::string&, const std::string&) {
        QMetaObject::invokeMethod(
            qApp, [&] { lines_after_answer.push_back(speed_line->text()); },
            Qt::BlockingQueuedConnection);
    });
    click_transfer_and_wait();

    ASSERT_EQ(user.questions.size(), 1u);
    const BoxAnswerer::Question& asked = user.questions[0];
    EXPECT_EQ(asked.title, "Twins !!!");
    EXPECT_EQ(asked.check_text.toStdString(), text("ENGLISH", "same_answer"));
    EXPECT_FALSE(asked.checked_when_shown);
    EXPECT_EQ(asked.speed_line.toStdString(), text("ENGLISH", "xfer_waiting"));
    ASSERT_EQ(lines_after_answer.size(), static_cast<size_t>(count));
    for (const QString& line : lines_after_answer)
        EXPECT_NE(line.toStdString(), text("ENGLISH", "xfer_waiting"));

    std::set<std::string> expected;
    for (int i = 1; i <= count; ++i) {
        expected.insert(picture_name(i, ""));
        expected.insert(picture_name(i, "-bis"));
        EXPECT_EQ(read_file(photos + picture_name(i, "-bis")),
                  read_file(card + picture_name(i, "")));
    }
    EXPECT_EQ(files_under(photos), expected);
    ASSERT_EQ(user.messages.size(), 1u);
    EXPECT_EQ(user.messages[0].toStdString(),
              Remplacer("#1", std::to_string(count), text("ENGLISH", "end_transfer")) + "\r\n" +
                  text("ENGLISH", "no_error"));
}

TEST_F(ClashTest, TheSameCancelSkipsTheRestAndTheReportSaysHowMany) {
    const std::string card = make_card(3);
    const std::string photos = m_dir.folder("photos");
    Form1& form = start({{"SOURCE_PATH", card},
                         {"DEST_PATH", photos},
                         {"RENAME_WITH", "NO"},
                         {"CURRENT_LANGUAGE", "FRENCH.LNG"}});
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    click_transfer_and_wait();
    m_dialogs.clear();

    m_dialogs.queue_input(std::nullopt);
    m_dialogs.queue_check(true);
    click_transfer_and_wait();
    EXPECT_EQ(m_dialogs.inputs().size(), 1u);
    EXPECT_EQ(m_dialogs.inputs()[0].check_text, text("FRENCH", "same_answer"));
    EXPECT_EQ(files_under(photos), (std::set<std::string>{picture_name(1, ""), picture_name(2, ""),
                                                          picture_name(3, "")}));
    ASSERT_EQ(m_dialogs.messages().size(), 1u);
    EXPECT_EQ(m_dialogs.messages()[0].text,
              Remplacer("#1", "0", text("FRENCH", "end_transfer")) + "\r\n" +
                  text("FRENCH", "no_error") + "\r\n\r\n" +
                  Remplacer("#1", "3", text("FRENCH", "x_skipped_clash")));
    EXPECT_TRUE(
        m_dialogs.messages()[0].text.ends_with("3 photo(s) ignorée(s) pour cause de doublon."));
}

TEST_F(ClashTest, AMissingDestinationIsMadeWhenTheUserSaysYes) {
    const std::string card = make_card(2);
    const std::string photos = m_dir.path() + "new/photos";
    Form1& form = start({{"SOURCE_PATH", card}, {"DEST_PATH", photos}, {"RENAME_WITH", "NO"}});
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    m_dialogs.clear();
    m_dialogs.queue_answer(Answer::Yes);
    click_transfer_and_wait();

    ASSERT_EQ(m_dialogs.messages().size(), 2u);
    EXPECT_EQ(m_dialogs.messages()[0].text,
              text("ENGLISH", "dest_notfound") + "\r\n" +
                  Remplacer("#1", photos + "/", text("ENGLISH", "dest_create")));
    EXPECT_EQ(m_dialogs.messages()[0].buttons, Buttons::YesNo);
    EXPECT_EQ(files_under(photos + "/"),
              (std::set<std::string>{picture_name(1, ""), picture_name(2, "")}));
    EXPECT_FALSE(child<QLabel>("freedest")->text().isEmpty())
        << "the destination status shows the new folder";
}

} // namespace
} // namespace orvix::test
