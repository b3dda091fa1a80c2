#include "app/transfer_view.h"

#include "app/transfer_info.h"
#include "controls/progress/vumbar.h"
#include "platform/qt/text_codec.h"

#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>

#include <utility>

namespace orvix {

namespace {

constexpr int rate_refresh_ms = 1000;

} // namespace

TransferView::TransferView(Vumbar& bar, QLineEdit& quality, QLabel& info, QPushButton& cancel,
                           const LanguageTable& language)
    : m_bar(bar), m_quality(quality), m_info(info), m_cancel(cancel), m_language(language) {
    m_clock.start();
    m_rate.start(now(), 0);
    m_refresh.setInterval(rate_refresh_ms);
    QObject::connect(&m_refresh, &QTimer::timeout, [this] { show_rate(); });
    m_refresh.start();
}

void TransferView::set_min(int value) {
    m_bar.setMin(value);
}

void TransferView::set_max(int value) {
    m_bar.setMax(value);
}

void TransferView::set_value(int value) {
    m_bar.setValue(value);
}

void TransferView::set_caption(const std::string& caption) {
    m_bar.setCaption(to_qt(caption));
}

void TransferView::set_visible(bool visible) {
    for (QWidget* widget : std::initializer_list<QWidget*>{&m_bar, &m_info, &m_cancel}) {
        widget->setVisible(visible);
        if (visible)
            widget->raise();
    }
}

void TransferView::set_quality_text(const std::string& text) {
    m_quality.setText(to_qt(text));
}

void TransferView::set_bytes_done(int64_t done, int64_t total) {
    if (m_frozen)
        return;
    if (done == 0) {
        m_rate.start(now(), total);
        m_started = true;
    } else {
        m_rate.add(now(), done);
    }
    show_rate();
    // Once every picture is dealt with, the line keeps the last figures through the report
    // instead of falling to nothing.
    if (done >= total) {
        m_finished = true;
        m_refresh.stop();
    }
}

void TransferView::freeze_rate() {
    m_frozen = true;
    m_refresh.stop();
}

void TransferView::question_asked() {
    m_rate.pause(now());
    m_waiting = m_started && !m_finished && !m_frozen;
    if (!m_waiting)
        return;
    m_refresh.stop();
    m_info.setText(to_qt(m_language.translate("xfer_waiting")));
}

void TransferView::question_answered() {
    m_rate.resume(now());
    if (!std::exchange(m_waiting, false) || m_frozen)
        return;
    show_rate();
    m_refresh.start();
}

double TransferView::now() const {
    return static_cast<double>(m_clock.elapsed()) / 1000.0;
}

void TransferView::show_rate() {
    const double at = now();
    m_info.setText(transfer_info_text(m_language, m_rate.bytes_per_second(at),
                                      m_rate.seconds_left(at), QLocale::system()));
}

template <class Ask> auto RunDialogs::asking(Ask ask) {
    // Told of the answer however the box ends.
    struct Waiting {
        explicit Waiting(TransferView& view) : m_view(view) { m_view.question_asked(); }
        ~Waiting() { m_view.question_answered(); }
        Waiting(const Waiting&) = delete;
        Waiting& operator=(const Waiting&) = delete;
        TransferView& m_view;
    };
    const Waiting waiting(m_view);
    return ask();
}

Answer RunDialogs::message_box(const std::string& text, const std::string& title, Icon icon,
                               Buttons buttons) {
    return asking([&] { return m_target.message_box(text, title, icon, buttons); });
}

std::optional<std::string> RunDialogs::input_box(const std::string& prompt,
                                                 const std::string& title,
                                                 const std::string& default_answer) {
    return asking([&] { return m_target.input_box(prompt, title, default_answer); });
}

std::optional<size_t> RunDialogs::choice_box(const std::string& text, const std::string& title,
                                             Icon icon, const std::vector<std::string>& choices) {
    return asking([&] { return m_target.choice_box(text, title, icon, choices); });
}

CheckedInput RunDialogs::checked_input_box(const std::string& prompt, const std::string& title,
                                           const std::string& default_answer,
                                           const std::string& check_text) {
    return asking(
        [&] { return m_target.checked_input_box(prompt, title, default_answer, check_text); });
}

RunningTransfer::RunningTransfer(Vumbar& bar, QLineEdit& quality, QLabel& info, QPushButton& cancel,
                                 const LanguageTable& language, const std::vector<QWidget*>& held,
                                 Dialogs& dialogs)
    : m_view(bar, quality, info, cancel, language), m_dialogs(dialogs, m_view) {
    for (QWidget* widget : held) {
        m_held.emplace_back(widget, widget->isEnabled());
        widget->setEnabled(false);
    }
    info.clear();
    cancel.setEnabled(true);
}

RunningTransfer::~RunningTransfer() {
    // Whatever way the run ended, the bar and its companions go.
    m_view.set_visible(false);
    for (const auto& [widget, enabled] : m_held)
        widget->setEnabled(enabled);
}

} // namespace orvix
