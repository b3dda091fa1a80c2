// Message and input boxes shown with Qt's standard dialogs.
#pragma once

#include "platform/dialogs.h"

#include <QMessageBox>

class QWidget;

namespace orvix {

QMessageBox::Icon message_icon(Icon icon);
QMessageBox::StandardButtons message_buttons(Buttons buttons);
// The answer for the button the user pressed; a box closed another way counts as its
// escape button, which QMessageBox has already mapped to Cancel or No.
Answer message_answer(QMessageBox::StandardButton button);
// The button that gives the answer.
QMessageBox::StandardButton message_button(Answer answer);

class QtDialogs : public Dialogs {
public:
    // parent owns the boxes; without one they belong to the active window.
    explicit QtDialogs(QWidget* parent = nullptr) : m_parent(parent) {}

    Answer message_box(const std::string& text, const std::string& title, Icon icon,
                       Buttons buttons = Buttons::Ok) override;
    std::optional<std::string> input_box(const std::string& prompt, const std::string& title,
                                         const std::string& default_answer) override;
    // The choices are push buttons before the standard Cancel, which is also the default
    // button: a stray Enter changes nothing.
    std::optional<size_t> choice_box(const std::string& text, const std::string& title, Icon icon,
                                     const std::vector<std::string>& choices) override;
    // The answer's line, then the check box (objectName "sameanswer"), then OK and Cancel.
    CheckedInput checked_input_box(const std::string& prompt, const std::string& title,
                                   const std::string& default_answer,
                                   const std::string& check_text) override;
    Answer ask(const std::string& text, const std::string& title, Icon icon, Buttons buttons,
               Answer default_answer) override;

private:
    QWidget* owner() const;
    Answer show_box(const std::string& text, const std::string& title, Icon icon, Buttons buttons,
                    std::optional<Answer> default_answer);

    QWidget* m_parent;
};

} // namespace orvix
