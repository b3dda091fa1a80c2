// The Qt message and input boxes, answered by pressing their buttons, and the hourglass.
#include "app_fixture.h"

#include "platform/qt/hourglass.h"
#include "platform/qt/qt_dialogs.h"

#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <functional>

namespace orvix::test {
namespace {

// Runs act on the modal box as soon as it is open.
void when_box_opens(std::function<void(QWidget*)> act) {
    QTimer::singleShot(0, [act = std::move(act)] {
        QWidget* box = QApplication::activeModalWidget();
        ASSERT_NE(box, nullptr);
        act(box);
    });
}

TEST(QtDialogs, MessageBoxesMapTitleIconAndButtons) {
    qt_app();
    const struct {
        std::string title;
        Icon icon;
        Buttons buttons;
        QMessageBox::StandardButton press;
        QString shown_title;
        QMessageBox::Icon shown_icon;
        Answer answer;
    } cases[] = {
        {"", Icon::Exclamation, Buttons::Ok, QMessageBox::Ok, "Orvix", QMessageBox::Warning,
         Answer::Ok},
        {"Error", Icon::Critical, Buttons::Ok, QMessageBox::Ok, "Error", QMessageBox::Critical,
         Answer::Ok},
        {"", Icon::None, Buttons::YesNo, QMessageBox::No, "Orvix", QMessageBox::NoIcon, Answer::No},
        {"Orvix", Icon::Question, Buttons::YesNoCancel, QMessageBox::Cancel, "Orvix",
         QMessageBox::Question, Answer::Cancel},
        {"Orvix", Icon::Information, Buttons::OkCancel, QMessageBox::Cancel, "Orvix",
         QMessageBox::Information, Answer::Cancel},
    };
    QtDialogs dialogs;
    for (const auto& test : cases) {
        QString title;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QString text;
        when_box_opens([&](QWidget* widget) {
            auto* box = qobject_cast<QMessageBox*>(widget);
            ASSERT_NE(box, nullptr);
            title = box->windowTitle();
            icon = box->icon();
            text = box->text();
            box->button(test.press)->click();
        });
        EXPECT_EQ(dialogs.message_box("<b>1 < 2</b>", test.title, test.icon, test.buttons),
                  test.answer);
        EXPECT_EQ(title, test.shown_title);
        EXPECT_EQ(icon, test.shown_icon);
        EXPECT_EQ(text, "<b>1 < 2</b>");
    }
}

TEST(QtDialogs, InputBoxReturnsTheTypedTextOrNothingOnCancel) {
    qt_app();
    QtDialogs dialogs;
    QString title;
    when_box_opens([&](QWidget* widget) {
        auto* box = qobject_cast<QInputDialog*>(widget);
        ASSERT_NE(box, nullptr);
        title = box->windowTitle();
        EXPECT_EQ(box->textValue(), "IMG_0001-bis");
        box->setTextValue("holiday");
        box->accept();
    });
    EXPECT_EQ(dialogs.input_box("Name?", "Twins !!!", "IMG_0001-bis"), "holiday");
    EXPECT_EQ(title, "Twins !!!");

    when_box_opens([](QWidget* widget) { qobject_cast<QDialog*>(widget)->reject(); });
    EXPECT_EQ(dialogs.input_box("Name?", "", "x"), std::nullopt);
}

TEST(Hourglass, NestedGuardsRestoreThePointerAtTheOutermost) {
    qt_app();
    {
        Hourglass outer;
        ASSERT_NE(QApplication::overrideCursor(), nullptr);
        EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
        { Hourglass inner; }
        EXPECT_NE(QApplication::overrideCursor(), nullptr);
    }
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

} // namespace
} // namespace orvix::test
