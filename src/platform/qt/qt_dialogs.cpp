#include "platform/qt/qt_dialogs.h"

#include "platform/qt/hourglass.h"
#include "platform/qt/text_codec.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace orvix {

namespace {

QString box_title(const std::string& title) {
    return to_qt(title.empty() ? std::string(application_title) : title);
}

} // namespace

QMessageBox::Icon message_icon(Icon icon) {
    switch (icon) {
    case Icon::Exclamation:
        return QMessageBox::Warning;
    case Icon::Critical:
        return QMessageBox::Critical;
    case Icon::Information:
        return QMessageBox::Information;
    case Icon::Question:
        return QMessageBox::Question;
    case Icon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

QMessageBox::StandardButtons message_buttons(Buttons buttons) {
    switch (buttons) {
    case Buttons::OkCancel:
        return QMessageBox::Ok | QMessageBox::Cancel;
    case Buttons::YesNo:
        return QMessageBox::Yes | QMessageBox::No;
    case Buttons::YesNoCancel:
        return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    case Buttons::Ok:
        break;
    }
    return QMessageBox::Ok;
}

Answer message_answer(QMessageBox::StandardButton button) {
    switch (button) {
    case QMessageBox::Yes:
        return Answer::Yes;
    case QMessageBox::No:
        return Answer::No;
    case QMessageBox::Cancel:
        return Answer::Cancel;
    default:
        break;
    }
    return Answer::Ok;
}

QMessageBox::StandardButton message_button(Answer answer) {
    switch (answer) {
    case Answer::Yes:
        return QMessageBox::Yes;
    case Answer::No:
        return QMessageBox::No;
    case Answer::Cancel:
        return QMessageBox::Cancel;
    case Answer::Ok:
        break;
    }
    return QMessageBox::Ok;
}

QWidget* QtDialogs::owner() const {
    return m_parent ? m_parent : QApplication::activeWindow();
}

Answer QtDialogs::message_box(const std::string& text, const std::string& title, Icon icon,
                              Buttons buttons) {
    return show_box(text, title, icon, buttons, std::nullopt);
}

Answer QtDialogs::ask(const std::string& text, const std::string& title, Icon icon, Buttons buttons,
                      Answer default_answer) {
    return show_box(text, title, icon, buttons, default_answer);
}

Answer QtDialogs::show_box(const std::string& text, const std::string& title, Icon icon,
                           Buttons buttons, std::optional<Answer> default_answer) {
    // A box asks for the user's hand: never under the hourglass of the work that asks.
    const Hourglass arrow(Pointer::Arrow);
    QMessageBox box(message_icon(icon), box_title(title), to_qt(text), message_buttons(buttons),
                    owner());
    box.setTextFormat(Qt::PlainText);
    if (default_answer)
        box.setDefaultButton(message_button(*default_answer));
    return message_answer(static_cast<QMessageBox::StandardButton>(box.exec()));
}

std::optional<std::string> QtDialogs::input_box(const std::string& prompt, const std::string& title,
                                                const std::string& default_answer) {
    const Hourglass arrow(Pointer::Arrow);
    QInputDialog box(owner());
    box.setWindowTitle(box_title(title));
    box.setLabelText(to_qt(prompt));
    box.setTextValue(to_qt(default_answer));
    if (box.exec() != QDialog::Accepted)
        return std::nullopt;
    return from_qt(box.textValue());
}

CheckedInput QtDialogs::checked_input_box(const std::string& prompt, const std::string& title,
                                          const std::string& default_answer,
                                          const std::string& check_text) {
    const Hourglass arrow(Pointer::Arrow);
    QDialog box(owner());
    box.setWindowTitle(box_title(title));
    auto* layout = new QVBoxLayout(&box);
    auto* label = new QLabel(to_qt(prompt), &box);
    label->setTextFormat(Qt::PlainText);
    auto* answer = new QLineEdit(to_qt(default_answer), &box);
    auto* check = new QCheckBox(to_qt(check_text), &box);
    check->setObjectName(QStringLiteral("sameanswer"));
    auto* buttons =
        new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, Qt::Horizontal, &box);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &box, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &box, &QDialog::reject);
    layout->addWidget(label);
    layout->addWidget(answer);
    layout->addWidget(check);
    layout->addWidget(buttons);
    answer->selectAll();
    answer->setFocus();
    const bool accepted = box.exec() == QDialog::Accepted;
    return {accepted ? std::optional(from_qt(answer->text())) : std::nullopt, check->isChecked()};
}

std::optional<size_t> QtDialogs::choice_box(const std::string& text, const std::string& title,
                                            Icon icon, const std::vector<std::string>& choices) {
    const Hourglass arrow(Pointer::Arrow);
    QMessageBox box(message_icon(icon), box_title(title), to_qt(text), QMessageBox::NoButton,
                    owner());
    box.setTextFormat(Qt::PlainText);
    std::vector<QAbstractButton*> buttons;
    for (const std::string& choice : choices)
        buttons.push_back(box.addButton(to_qt(choice), QMessageBox::AcceptRole));
    QPushButton* cancel = box.addButton(QMessageBox::Cancel);
    box.setDefaultButton(cancel);
    box.setEscapeButton(cancel);
    box.exec();
    const auto pressed = std::find(buttons.begin(), buttons.end(), box.clickedButton());
    if (pressed == buttons.end())
        return std::nullopt;
    return size_t(pressed - buttons.begin());
}

} // namespace orvix
