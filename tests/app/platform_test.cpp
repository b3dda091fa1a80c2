// The Qt message and input boxes, answered by pressing their buttons, and the hourglass.
#include "app_fixture.h"

#include "platform/qt/hourglass.h"
#include "platform/qt/qt_dialogs.h"

#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <functional>

namespace orvix::test {
namespace {

// Runs act on the modal box as soon as it is open.
void when_box_opens(std::function<void(QWidget*)> act) {
    QTimer::singleShot(0, [act = std::move(act)] { act(QApplication::activeModalWidget()); });
}

TEST(QtDialogs, BoxesShowTheProgramTitleAndPlainTextAndReturnTheAnswer) {
    qt_app();
    QtDialogs dialogs;
    QMessageBox* seen = nullptr;
    QString title;
    QString text;
    when_box_opens([&](QWidget* widget) {
        seen = qobject_cast<QMessageBox*>(widget);
        ASSERT_NE(seen, nullptr);
        title = seen->windowTitle();
        text = seen->text();
        EXPECT_EQ(seen->icon(), QMessageBox::Warning);
        seen->button(QMessageBox::No)->click();
    });
    EXPECT_EQ(dialogs.message_box("<b>1 < 2</b>", "", Icon::Exclamation, Buttons::YesNo),
              Answer::No);
    EXPECT_EQ(title, "Orvix");
    EXPECT_EQ(text, "<b>1 < 2</b>");

    when_box_opens([](QWidget* widget) {
        auto* box = qobject_cast<QInputDialog*>(widget);
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->windowTitle(), "Twins !!!");
        EXPECT_EQ(box->textValue(), "IMG_0001-bis");
        box->setTextValue("holiday");
        box->accept();
    });
    EXPECT_EQ(dialogs.input_box("Name?", "Twins !!!", "IMG_0001-bis"), "holiday");
    when_box_opens([](QWidget* widget) { qobject_cast<QDialog*>(widget)->reject(); });
    EXPECT_EQ(dialogs.input_box("Name?", "", "x"), std::nullopt);
}

TEST(Hourglass, NestedGuardsRestoreThePointerAtTheOutermost) {
    qt_app();
    {
        Hourglass outer;
        { Hourglass inner; }
        ASSERT_NE(QApplication::overrideCursor(), nullptr);
        EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    }
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

} // namespace
} // namespace orvix::test
