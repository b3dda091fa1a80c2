// How core code talks to the user: message boxes and input boxes behind a small
// interface, so the core runs under tests with scripted answers and headless with
// answers on stderr. The Qt implementation lives apart, with the windows.
#pragma once

#include <cstddef>
#include <deque>
#include <optional>
#include <string>
#include <vector>

namespace orvix {

// The title of the program's own boxes, and of a box whose caller gives none.
inline constexpr const char* application_title = "Orvix";

enum class Icon { None, Exclamation, Critical, Information, Question };
enum class Buttons { Ok, OkCancel, YesNo, YesNoCancel };
enum class Answer { Ok, Cancel, Yes, No };

// The answer of an input box that also carries a check box.
struct CheckedInput {
    std::optional<std::string> text; // std::nullopt when the user cancels
    bool checked = false;
};

class Dialogs {
public:
    virtual ~Dialogs() = default;
    // A modal message box; an empty title means the application's default title.
    virtual Answer message_box(const std::string& text, const std::string& title, Icon icon,
                               Buttons buttons = Buttons::Ok) = 0;
    // A modal input box; std::nullopt when the user cancels.
    virtual std::optional<std::string> input_box(const std::string& prompt,
                                                 const std::string& title,
                                                 const std::string& default_answer) = 0;
    // A modal message box with a button for each of choices (the caller's own texts, in
    // order) and a Cancel button. The index of the choice pressed; std::nullopt for Cancel
    // or a box closed another way. Dialogs that cannot offer such a box answer Cancel,
    // which leaves everything as it was.
    virtual std::optional<size_t> choice_box(const std::string& text, const std::string& title,
                                             Icon icon, const std::vector<std::string>& choices);
    // An input box with a check box under the answer, labelled check_text and unchecked
    // when the box opens; the state of the check box counts for a cancel too. Dialogs
    // that cannot show the check box ask a plain input box and answer unchecked.
    virtual CheckedInput checked_input_box(const std::string& prompt, const std::string& title,
                                           const std::string& default_answer,
                                           const std::string& check_text);
    // A message box whose default button (the one Return presses) is default_answer's: a
    // question whose Yes cannot be taken back defaults to No. Boxes that cannot mark a
    // default show a plain message box.
    virtual Answer ask(const std::string& text, const std::string& title, Icon icon,
                       Buttons buttons, Answer default_answer);
};

// The process-wide dialogs. Until a window installs its own, messages go to stderr.
Dialogs& dialogs();
// Installs d (not owned); nullptr restores the stderr implementation.
void set_dialogs(Dialogs* d);

// Installs a Dialogs for the lifetime of the guard and restores the previous one.
class ScopedDialogs {
public:
    explicit ScopedDialogs(Dialogs& d);
    ~ScopedDialogs();
    ScopedDialogs(const ScopedDialogs&) = delete;
    ScopedDialogs& operator=(const ScopedDialogs&) = delete;

private:
    Dialogs* m_previous;
};

// The "Error" box of the low-level file routines: the system's description of errno_value,
// shown through the given dialogs or the process-wide ones.
void show_system_error(Dialogs& dialogs, int errno_value);
void show_system_error(int errno_value);

// Prints every message on stderr; input and choice boxes are cancelled, message boxes
// answer their default button (their first, Ok or Yes, unless another is named).
class StderrDialogs : public Dialogs {
public:
    Answer message_box(const std::string& text, const std::string& title, Icon icon,
                       Buttons buttons) override;
    std::optional<std::string> input_box(const std::string& prompt, const std::string& title,
                                         const std::string& default_answer) override;
    std::optional<size_t> choice_box(const std::string& text, const std::string& title, Icon icon,
                                     const std::vector<std::string>& choices) override;
    Answer ask(const std::string& text, const std::string& title, Icon icon, Buttons buttons,
               Answer default_answer) override;
};

// Records every box and answers from queues, for tests and scripted runs.
class ScriptedDialogs : public Dialogs {
public:
    struct Message {
        std::string text;
        std::string title;
        Icon icon;
        Buttons buttons;
        std::optional<Answer> default_answer = std::nullopt; // none: the first button
    };
    struct Input {
        std::string prompt;
        std::string title;
        std::string default_answer;
        std::string check_text; // "" for a box without a check box
    };
    struct Choice {
        std::string text;
        std::string title;
        Icon icon;
        std::vector<std::string> choices;
    };

    // Answers for the next input boxes, in order; std::nullopt is a Cancel.
    // With the queue empty an input box is answered with its default answer.
    void queue_input(std::optional<std::string> answer) { m_inputs.push_back(std::move(answer)); }
    // Answers for the next message boxes; with the queue empty the default button (the
    // first, unless the box names another) is the answer.
    void queue_answer(Answer answer) { m_answers.push_back(answer); }
    // Answers for the next choice boxes, in order; std::nullopt is a Cancel. With the
    // queue empty the first choice is the answer.
    void queue_choice(std::optional<size_t> answer) { m_choices.push_back(answer); }
    // The state of the check box for the next input boxes that have one, in order; with the
    // queue empty the box is left unchecked. Their texts come from queue_input.
    void queue_check(bool checked) { m_checks.push_back(checked); }

    Answer message_box(const std::string& text, const std::string& title, Icon icon,
                       Buttons buttons) override;
    std::optional<std::string> input_box(const std::string& prompt, const std::string& title,
                                         const std::string& default_answer) override;
    std::optional<size_t> choice_box(const std::string& text, const std::string& title, Icon icon,
                                     const std::vector<std::string>& choices) override;
    CheckedInput checked_input_box(const std::string& prompt, const std::string& title,
                                   const std::string& default_answer,
                                   const std::string& check_text) override;
    Answer ask(const std::string& text, const std::string& title, Icon icon, Buttons buttons,
               Answer default_answer) override;

    const std::vector<Message>& messages() const { return m_messages; }
    const std::vector<Input>& inputs() const { return m_input_log; }
    const std::vector<Choice>& choices() const { return m_choice_log; }
    void clear() {
        m_messages.clear();
        m_input_log.clear();
        m_choice_log.clear();
    }

private:
    std::deque<std::optional<std::string>> m_inputs;
    std::deque<Answer> m_answers;
    std::vector<Message> m_messages;
    std::vector<Input> m_input_log;
    std::deque<std::optional<size_t>> m_choices;
    std::vector<Choice> m_choice_log;
    std::deque<bool> m_checks;
};

} // namespace orvix
