// What the main window shows and holds while a transfer runs on its worker: the progress
// bar, the quality box, the speed line and the stop button driven on the window's thread,
// the controls that could change the run disabled, the busy pointer.
#pragma once

#include "platform/dialogs.h"
#include "platform/qt/hourglass.h"
#include "settings/language.h"
#include "transfer/transfer.h"
#include "transfer/transfer_rate.h"

#include <QElapsedTimer>
#include <QTimer>

#include <utility>
#include <vector>

class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

namespace orvix {

class Vumbar;

// The run's progress on the window's thread. The stop button and the speed line come and
// go with the bar; the line is worked out again every second, so it falls while a picture
// takes long.
class TransferView final : public ProgressSink {
public:
    TransferView(Vumbar& bar, QLineEdit& quality, QLabel& info, QPushButton& cancel,
                 const LanguageTable& language);

    void set_min(int value) override;
    void set_max(int value) override;
    void set_value(int value) override;
    void set_caption(const std::string& caption) override;
    void set_visible(bool visible) override;
    void set_quality_text(const std::string& text) override;
    void set_bytes_done(int64_t done, int64_t total) override;
    // A stop was asked: the time left means nothing more, the line keeps its last figures.
    void freeze_rate();
    // A box of the run waits for the user between the first picture and the last: the line
    // says so instead of a speed falling to nothing, and the wait does not count in the
    // speed afterwards.
    void question_asked();
    void question_answered();

private:
    double now() const;
    void show_rate();

    Vumbar& m_bar;
    QLineEdit& m_quality;
    QLabel& m_info;
    QPushButton& m_cancel;
    const LanguageTable& m_language;
    TransferRate m_rate;
    QElapsedTimer m_clock;
    QTimer m_refresh;
    bool m_frozen = false;
    bool m_started = false;  // the first picture is under way
    bool m_finished = false; // every picture is dealt with
    bool m_waiting = false;
};

// The window's boxes as a run asks for them, each shown while the view says the run waits.
class RunDialogs final : public Dialogs {
public:
    RunDialogs(Dialogs& target, TransferView& view) : m_target(target), m_view(view) {}

    Answer message_box(const std::string& text, const std::string& title, Icon icon,
                       Buttons buttons) override;
    std::optional<std::string> input_box(const std::string& prompt, const std::string& title,
                                         const std::string& default_answer) override;
    std::optional<size_t> choice_box(const std::string& text, const std::string& title, Icon icon,
                                     const std::vector<std::string>& choices) override;
    CheckedInput checked_input_box(const std::string& prompt, const std::string& title,
                                   const std::string& default_answer,
                                   const std::string& check_text) override;

private:
    template <class Ask> auto asking(Ask ask);

    Dialogs& m_target;
    TransferView& m_view;
};

class RunningTransfer {
public:
    // held: the controls that could change the run; each gets its own state back at the end.
    // The run's boxes go to dialogs.
    RunningTransfer(Vumbar& bar, QLineEdit& quality, QLabel& info, QPushButton& cancel,
                    const LanguageTable& language, const std::vector<QWidget*>& held,
                    Dialogs& dialogs);
    ~RunningTransfer();
    RunningTransfer(const RunningTransfer&) = delete;
    RunningTransfer& operator=(const RunningTransfer&) = delete;

    TransferView& view() { return m_view; }
    Dialogs& dialogs() { return m_dialogs; }

private:
    TransferView m_view;
    RunDialogs m_dialogs;
    std::vector<std::pair<QWidget*, bool>> m_held;
    Hourglass m_busy{Pointer::Busy};
};

} // namespace orvix
