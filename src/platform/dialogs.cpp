#include "platform/dialogs.h"

#include <cstring>
#include <iostream>

namespace orvix {

namespace {

StderrDialogs& stderr_dialogs() {
    static StderrDialogs instance;
    return instance;
}

Dialogs* current = nullptr;

Answer first_button(Buttons buttons) {
    return buttons == Buttons::Ok || buttons == Buttons::OkCancel ? Answer::Ok : Answer::Yes;
}

const char* icon_word(Icon icon) {
    switch (icon) {
    case Icon::Exclamation:
        return "warning";
    case Icon::Critical:
        return "error";
    case Icon::Information:
        return "info";
    case Icon::Question:
        return "question";
    case Icon::None:
        break;
    }
    return "message";
}

} // namespace

std::optional<size_t> Dialogs::choice_box(const std::string&, const std::string&, Icon,
                                          const std::vector<std::string>&) {
    return std::nullopt;
}

CheckedInput Dialogs::checked_input_box(const std::string& prompt, const std::string& title,
                                        const std::string& default_answer, const std::string&) {
    return {input_box(prompt, title, default_answer), false};
}

Answer Dialogs::ask(const std::string& text, const std::string& title, Icon icon, Buttons buttons,
                    Answer) {
    return message_box(text, title, icon, buttons);
}

Dialogs& dialogs() {
    return current ? *current : stderr_dialogs();
}

void set_dialogs(Dialogs* d) {
    current = d;
}

ScopedDialogs::ScopedDialogs(Dialogs& d) : m_previous(current) {
    current = &d;
}

ScopedDialogs::~ScopedDialogs() {
    current = m_previous;
}

void show_system_error(Dialogs& dialogs, int errno_value) {
    dialogs.message_box(std::strerror(errno_value), "Error", Icon::Exclamation, Buttons::Ok);
}

void show_system_error(int errno_value) {
    show_system_error(dialogs(), errno_value);
}

Answer StderrDialogs::message_box(const std::string& text, const std::string& title, Icon icon,
                                  Buttons buttons) {
    std::cerr << "[" << (title.empty() ? application_title : title) << " " << icon_word(icon)
              << "] " << text << std::endl;
    return first_button(buttons);
}

Answer StderrDialogs::ask(const std::string& text, const std::string& title, Icon icon,
                          Buttons buttons, Answer default_answer) {
    message_box(text, title, icon, buttons);
    return default_answer;
}

std::optional<std::string> StderrDialogs::input_box(const std::string& prompt,
                                                    const std::string& title, const std::string&) {
    std::cerr << "[" << title << " question, cancelled] " << prompt << std::endl;
    return std::nullopt;
}

std::optional<size_t> StderrDialogs::choice_box(const std::string& text, const std::string& title,
                                                Icon icon, const std::vector<std::string>&) {
    std::cerr << "[" << (title.empty() ? application_title : title) << " " << icon_word(icon)
              << ", cancelled] " << text << std::endl;
    return std::nullopt;
}

Answer ScriptedDialogs::message_box(const std::string& text, const std::string& title, Icon icon,
                                    Buttons buttons) {
    m_messages.push_back({text, title, icon, buttons});
    if (m_answers.empty())
        return first_button(buttons);
    const Answer answer = m_answers.front();
    m_answers.pop_front();
    return answer;
}

Answer ScriptedDialogs::ask(const std::string& text, const std::string& title, Icon icon,
                            Buttons buttons, Answer default_answer) {
    m_messages.push_back({text, title, icon, buttons, default_answer});
    if (m_answers.empty())
        return default_answer;
    const Answer answer = m_answers.front();
    m_answers.pop_front();
    return answer;
}

std::optional<std::string> ScriptedDialogs::input_box(const std::string& prompt,
                                                      const std::string& title,
                                                      const std::string& default_answer) {
    m_input_log.push_back({prompt, title, default_answer, ""});
    if (m_inputs.empty())
        return default_answer;
    std::optional<std::string> answer = std::move(m_inputs.front());
    m_inputs.pop_front();
    return answer;
}

CheckedInput ScriptedDialogs::checked_input_box(const std::string& prompt, const std::string& title,
                                                const std::string& default_answer,
                                                const std::string& check_text) {
    CheckedInput answer{ScriptedDialogs::input_box(prompt, title, default_answer), false};
    m_input_log.back().check_text = check_text;
    if (!m_checks.empty()) {
        answer.checked = m_checks.front();
        m_checks.pop_front();
    }
    return answer;
}

std::optional<size_t> ScriptedDialogs::choice_box(const std::string& text, const std::string& title,
                                                  Icon icon,
                                                  const std::vector<std::string>& choices) {
    m_choice_log.push_back({text, title, icon, choices});
    if (m_choices.empty())
        return choices.empty() ? std::nullopt : std::optional<size_t>(0);
    const std::optional<size_t> answer = m_choices.front();
    m_choices.pop_front();
    return answer;
}

} // namespace orvix
