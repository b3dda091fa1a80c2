// The transfer as the main window runs it: the run itself on a worker thread, its boxes,
// its progress, the stop button and the speed line on the window's thread, which keeps
// painting, moving and answering meanwhile.
#include "app/form1.h"

#include "app/transfer_info.h"
#include "app/transfer_view.h"
#include "app/widgets.h"
#include "controls/progress/vumbar.h"
#include "controls/thumbgrid/glimra.h"
#include "platform/dialogs.h"
#include "platform/qt/text_codec.h"
#include "platform/tasks.h"
#include "runner/job_runner.h"
#include "text/text.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QRadioButton>
#include <QToolBar>

#include <mutex>
#include <optional>
#include <utility>

namespace orvix {

namespace {

constexpr int rate_refresh_ms = 1000;

// The run's progress as the worker reports it. The worker leaves the latest state in a
// mailbox and the window takes it when it gets round to it, so a quick run cannot flood
// the window's queue with paints and keep its timers and input waiting.
class PostedProgress final : public ProgressSink {
public:
    PostedProgress(JobContext& job, ProgressSink& window)
        : m_job(job), m_mailbox(std::make_shared<Mailbox>(window)) {}

    void set_min(int value) override {
        change([value](State& s) { s.min = value; });
    }
    void set_max(int value) override {
        change([value](State& s) { s.max = value; });
    }
    void set_value(int value) override {
        change([value](State& s) { s.value = value; });
    }
    void set_caption(const std::string& caption) override {
        change([&caption](State& s) { s.caption = caption; });
    }
    void set_visible(bool visible) override {
        change([visible](State& s) { s.visible = visible; });
    }
    void set_quality_text(const std::string& text) override {
        change([&text](State& s) { s.quality_text = text; });
    }
    void set_bytes_done(int64_t done, int64_t total) override {
        change([done, total](State& s) {
            // The start of a run must reach the window even when later bytes follow at once.
            if (done == 0)
                s.bytes_start = total;
            s.bytes = std::pair(done, total);
        });
    }

private:
    struct State {
        std::optional<int> min;
        std::optional<int> max;
        std::optional<std::string> caption;
        std::optional<int> value;
        std::optional<std::string> quality_text;
        std::optional<int64_t> bytes_start;
        std::optional<std::pair<int64_t, int64_t>> bytes;
        std::optional<bool> visible;
    };

    // Shared with the posts, which may run after the job and this sink are gone.
    struct Mailbox {
        explicit Mailbox(ProgressSink& sink) : window(sink) {}

        void deliver() {
            State s;
            {
                const std::lock_guard lock(mutex);
                s = std::exchange(pending, State{});
                posted = false;
            }
            if (s.min)
                window.set_min(*s.min);
            if (s.max)
                window.set_max(*s.max);
            if (s.caption)
                window.set_caption(*s.caption);
            if (s.value)
                window.set_value(*s.value);
            if (s.quality_text)
                window.set_quality_text(*s.quality_text);
            if (s.bytes_start && (!s.bytes || s.bytes->first != 0))
                window.set_bytes_done(0, *s.bytes_start);
            if (s.bytes)
                window.set_bytes_done(s.bytes->first, s.bytes->second);
            if (s.visible)
                window.set_visible(*s.visible);
        }

        ProgressSink& window;
        std::mutex mutex;
        State pending;
        bool posted = false;
    };

    template <class Change> void change(Change apply) {
        bool post = false;
        {
            const std::lock_guard lock(m_mailbox->mutex);
            apply(m_mailbox->pending);
            post = !std::exchange(m_mailbox->posted, true);
        }
        if (post)
            m_job.post([mailbox = m_mailbox] { mailbox->deliver(); });
    }

    JobContext& m_job;
    std::shared_ptr<Mailbox> m_mailbox;
};

} // namespace

// --- The window's side of a run ----------------------------------------------------------

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
    if (done == 0)
        m_rate.start(now(), total);
    else
        m_rate.add(now(), done);
    show_rate();
    // Once every picture is dealt with, the line keeps the last figures through the report
    // instead of falling to nothing.
    if (done >= total)
        m_refresh.stop();
}

void TransferView::freeze_rate() {
    m_frozen = true;
    m_refresh.stop();
}

double TransferView::now() const {
    return static_cast<double>(m_clock.elapsed()) / 1000.0;
}

void TransferView::show_rate() {
    const double at = now();
    m_info.setText(transfer_info_text(m_language, m_rate.bytes_per_second(at),
                                      m_rate.seconds_left(at), QLocale::system()));
}

RunningTransfer::RunningTransfer(Vumbar& bar, QLineEdit& quality, QLabel& info, QPushButton& cancel,
                                 const LanguageTable& language,
                                 std::initializer_list<QWidget*> held)
    : m_view(bar, quality, info, cancel, language) {
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

// --- Handlers ----------------------------------------------------------------------------

TransferOptions Form1::transfer_options() const {
    TransferOptions options;
    options.source_text = from_qt(m_chemin->text());
    options.destination_text = from_qt(m_destin->text());
    options.naming = naming_mode();
    options.pattern = from_qt(m_renpattern->text());
    options.subdir_enabled = m_subdir->isEnabled();
    options.subdir_checked = m_subdir->isChecked();
    options.format_index = m_formatchoice->currentIndex();
    options.quality_text = from_qt(m_quality->text());
    options.show_thumbs = m_showthumbs->isChecked();
    options.delete_originals = m_delete->isChecked();
    return options;
}

bool Form1::transfer_running() const {
    return m_running != nullptr;
}

void Form1::xfer_Click() {
    if (transfer_running())
        return;
    // The grid lets go of the last run's pictures at once: they are no longer the list.
    m_state.transferred_pictures.clear();
    fill_thumbnail_grid();
    // The choices are read before the run holds the setup page: a control on a disabled
    // page reads as disabled, and the date sub-folder box counts only while it is enabled.
    TransferOptions options = transfer_options();
    // Every control the run reads or that would touch what it writes waits for its end;
    // the camera watch too, whose ticks would list the card under the copy.
    m_running = std::make_unique<RunningTransfer>(
        *m_pbar, *m_quality, *m_xferinfo, *m_cancelxfer, m_state.language,
        std::initializer_list<QWidget*>{m_xfer, m_chemin, m_Command2, m_statussrc, m_destin, m_dest,
                                        m_frame_setup, m_tex});
    // The commands are held through their buttons: a toolbar disabled and enabled again
    // gives its menu buttons back enabled, whatever the selection says.
    for (QAction* button : m_tb_buttons)
        button->setEnabled(false);
    m_Timer1->stop();

    // The job keeps copies of what it reads, so nothing it uses changes under it.
    TransferView* view = &m_running->view();
    auto job = [this, view, options = std::move(options), language = m_state.language,
                thumbs_dir = m_state.thumbs_dir](JobContext& context) mutable {
        options.stop_requested = [&context] { return context.stop_requested(); };
        PostedProgress progress(context, *view);
        WorkerTasks thumbnails(WorkerTasks::threads_for_this_machine());
        std::vector<TransferredPicture> pictures;
        run_transfer(
            options, thumbs_dir, language, context.dialogs(), progress, pictures,
            [&] { context.on_window([&] { transfer_before_report(pictures); }); }, &thumbnails);
    };
    m_runner->start(std::move(job), dialogs(), [this](const JobEnd& end) { end_transfer(end); });
}

// On the window's thread, with the worker waiting: the list, the status and the grid,
// then the report.
void Form1::transfer_before_report(const std::vector<TransferredPicture>& pictures) {
    m_state.transferred_pictures = pictures;
    update();
    fill_thumbnail_grid();
}

void Form1::end_transfer(const JobEnd& end) {
    m_running.reset();
    enable_toolbar();
    if (end.failed)
        dialogs().message_box(Remplacer("#1", end.error, text_of("job_error")), application_title,
                              Icon::Critical, Buttons::Ok);
    if (m_close_when_stopped) {
        m_close_when_stopped = false;
        close();
        return;
    }
    m_Timer1->start();
}

void Form1::cancelxfer_Click() {
    if (!transfer_running())
        return;
    m_runner->request_stop();
    m_running->view().freeze_rate();
    // The picture in hand still ends; the button says the request was heard.
    m_cancelxfer->setEnabled(false);
}

} // namespace orvix
