// The transfer page's folders and the transfer as the main window runs it: the run itself
// on a worker thread, its boxes, its progress, the stop button and the speed line on the
// window's thread, which keeps painting, moving and answering meanwhile.
#include "app/transfer_panel.h"

#include "app/card_watch.h"
#include "app/qt_paths.h"
#include "app/status_text.h"
#include "app/transfer_view.h"
#include "app/widgets.h"
#include "controls/progress/vumbar.h"
#include "history/history.h"
#include "platform/dialogs.h"
#include "platform/qt/desktop.h"
#include "platform/qt/text_codec.h"
#include "platform/qt/widget_helpers.h"
#include "platform/tasks.h"
#include "runner/job_runner.h"
#include "settings/prefs.h"
#include "text/text.h"
#include "transfer/naming.h"
#include "transfer/room_estimate.h"

#include <QCheckBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>

#include <algorithm>
#include <mutex>
#include <optional>
#include <utility>

namespace orvix {

namespace {

using widgets::named;
using widgets::plain_label;
using widgets::qt;

void style_folder_frame(QPushButton* browse, QPushButton* open, QLabel* status,
                        const TransferIcons& icons) {
    browse->setIcon(icons.browse);
    open->setIcon(icons.open);
    status->setTextFormat(Qt::PlainText);
    status->setWordWrap(true);
    status->setAlignment(Qt::AlignLeft | Qt::AlignTop);
}

void set_text_colour(QLabel& label, const QColor& colour) {
    QPalette palette = label.palette();
    palette.setColor(QPalette::WindowText, colour);
    label.setPalette(palette);
}

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

// --- The panel ---------------------------------------------------------------------------

TransferPanel::TransferPanel(QFrame& page, QWidget& window, TransferShared shared,
                             const TransferIcons& icons)
    : m_window(window), m_desktop(shared.desktop), m_language(shared.language),
      m_tables(shared.tables), m_thumbs_dir(shared.thumbs_dir),
      m_runner(std::make_unique<JobRunner>()) {
    m_Frame1 = named(new QGroupBox(&page), "Frame1");
    m_chemin = named(new QLineEdit(m_Frame1), "chemin");
    m_Command2 = named(new QPushButton(m_Frame1), "Command2");
    m_Command3 = named(new QPushButton(m_Frame1), "Command3");
    m_statussrc = named(new ClickableLabel(m_Frame1), "statussrc");
    style_folder_frame(m_Command2, m_Command3, m_statussrc, icons);
    m_statussrc->setCursor(Qt::PointingHandCursor);

    m_Frame2 = named(new QGroupBox(&page), "Frame2");
    m_destin = named(new QLineEdit(m_Frame2), "destin");
    m_dest = named(new QPushButton(m_Frame2), "dest");
    m_Command4 = named(new QPushButton(m_Frame2), "Command4");
    m_freedest = named(new QLabel(m_Frame2), "freedest");
    style_folder_frame(m_dest, m_Command4, m_freedest, icons);

    m_xfer = named(new QPushButton(&page), "xfer");
    m_xfer->setIcon(icons.transfer);
    m_onlynew = named(new QCheckBox(&page), "onlynew");
    // The source status counts the new pictures while the box is checked.
    QObject::connect(m_onlynew, &QCheckBox::toggled, [this] { update_status(); });

    m_pbar = named(new Vumbar(&window), "pbar");
    m_pbar->setCaption(QStringLiteral("{value}/{max}"));
    m_pbar->setBackColor_Relief(false);
    m_pbar->hide();
    // Beside and under the bar during a transfer: the stop button and the speed line.
    m_cancelxfer = named(new QPushButton(&window), "cancelxfer");
    m_cancelxfer->hide();
    m_xferinfo = plain_label(&window, "xferinfo");
    m_xferinfo->hide();
}

TransferPanel::~TransferPanel() = default;

std::string TransferPanel::text_of(const char* key) const {
    return m_language.translate(key);
}

void TransferPanel::load(const std::string& prefs_text) {
    m_chemin->setText(qt(get_key_value("SOURCE_PATH", prefs_text)));
    m_destin->setText(qt(get_key_value("DEST_PATH", prefs_text)));
    const QSignalBlocker quiet(m_onlynew);
    m_onlynew->setChecked(numeric_value(get_key_value("ONLY_NEW", prefs_text)) == 1);
}

void TransferPanel::save(std::string& prefs_text) const {
    set_key_value("ONLY_NEW", prefs_text, m_onlynew->isChecked() ? "1" : "0");
}

void TransferPanel::traduce() {
    m_Frame1->setTitle(qt(text_of("generic_source")));
    m_Frame2->setTitle(qt(text_of("generic_destination")));
    m_Command2->setText(qt(text_of("browse")));
    m_dest->setText(qt(text_of("browse")));
    m_Command3->setText(qt(text_of("explore")));
    m_Command4->setText(qt(text_of("explore")));
    m_xfer->setText(qt(text_of("btn_transfer")));
    m_onlynew->setText(qt(text_of("only_new")));
    m_cancelxfer->setText(qt(text_of("btn_cancelxfer")));
}

CaptionWidths TransferPanel::caption_widths(double twips_per_pixel) const {
    auto needed = [twips_per_pixel](const QPushButton* a, const QPushButton* b) {
        return to_int(std::max(a->sizeHint().width(), b->sizeHint().width()) * twips_per_pixel);
    };
    return {needed(m_Command2, m_dest), needed(m_Command3, m_Command4), needed(m_xfer, m_xfer),
            needed(m_cancelxfer, m_cancelxfer)};
}

int TransferPanel::info_line_height(double twips_per_pixel) const {
    return to_int(m_xferinfo->sizeHint().height() * twips_per_pixel);
}

void TransferPanel::place(const MainLayout& l, double twips_per_pixel) {
    auto place = [twips_per_pixel](QWidget* widget, const Rect& box) {
        place_widget(*widget, box, twips_per_pixel);
    };
    place(m_pbar, l.pbar);
    place(m_cancelxfer, l.cancelxfer);
    place(m_xferinfo, l.xferinfo);
    place(m_Frame1, l.frame1);
    place(m_Frame2, l.frame2);
    place(m_xfer, l.xfer);
    place(m_chemin, l.folder_box);
    place(m_destin, l.folder_box);
    place(m_Command2, l.browse_button);
    place(m_dest, l.browse_button);
    place(m_Command3, l.open_button);
    place(m_Command4, l.open_button);
    place(m_statussrc, l.status_label);
    place(m_freedest, l.status_label);
    // Under the transfer button, as wide as the folder frames.
    place(m_onlynew, Rect::sized(l.frame2.left, l.xfer.bottom + 120, l.frame2.width(),
                                 to_int(m_onlynew->sizeHint().height() * twips_per_pixel)));
    for (QWidget* widget : std::initializer_list<QWidget*>{m_pbar, m_cancelxfer, m_xferinfo})
        widget->raise();
}

// --- Source and destination --------------------------------------------------------------

std::string TransferPanel::source_path() const {
    return path_of(*m_chemin);
}

std::string TransferPanel::destination_path() const {
    return path_of(*m_destin);
}

void TransferPanel::update_status() {
    Hourglass hourglass;
    const std::string source = source_path();
    const std::string destination = destination_path();

    int count = -1;
    std::optional<int> new_count;
    if (folder_exists(source)) {
        set_text_colour(*m_statussrc, m_window.palette().color(QPalette::WindowText));
        std::vector<std::string> pictures;
        list_files(source, pictures, std::string(picture_filter), true);
        count = static_cast<int>(pictures.size());
        if (m_onlynew->isChecked() && count > 0)
            new_count = new_pictures(source, pictures);
        m_Command3->setEnabled(true);
    } else {
        set_text_colour(*m_statussrc, QColor(255, 0, 0));
        m_Command3->setEnabled(false);
    }
    m_statussrc->setText(qt(new_count ? new_pictures_status(m_language, *new_count, count)
                                      : source_status(m_language, count)));
    show_card_offer(count >= 0);

    // Only pictures the run would take wake the window.
    if (new_count.value_or(count) > 0 && m_links.wake)
        m_links.wake();

    if (folder_exists(destination)) {
        m_freedest->setText(
            qt(destination_status(m_language, free_space(destination),
                                  sampled_average_size(destination), QLocale::system())));
        m_Command4->setEnabled(true);
    } else {
        m_freedest->setText(QString());
        m_Command4->setEnabled(false);
    }
}

int TransferPanel::new_pictures(const std::string& source,
                                const std::vector<std::string>& pictures) const {
    // Read only, and said by the run alone. The run counts every picture new when it cannot
    // read the record or write to it, and so does the status.
    const std::string path = history_file_path();
    const std::unique_ptr<TransferHistory> history =
        TransferHistory::open(path, TransferHistory::Access::Read);
    if (!history || !may_create_in(parent_folder(path)))
        return static_cast<int>(pictures.size());
    const SourceCard card(source, m_tables);
    return static_cast<int>(std::count_if(pictures.begin(), pictures.end(), [&](const auto& p) {
        const std::optional<CardFile> file = card.file(p);
        return !file || !history->transferred_before(*file);
    }));
}

void TransferPanel::browse_source() {
    const std::string folder = m_desktop.browse_for_folder(&m_window, text_of("select_sourcedir"));
    if (folder.empty())
        return;
    m_chemin->setText(qt(folder));
    update_status();
}

void TransferPanel::browse_destination() {
    const std::string folder = m_desktop.browse_for_folder(&m_window, text_of("select_destdir"));
    if (folder.empty())
        return;
    m_destin->setText(qt(folder));
    update_status();
}

void TransferPanel::open_source() {
    m_desktop.open_with_shell(&m_window, source_path());
}

void TransferPanel::open_destination() {
    m_desktop.open_with_shell(&m_window, destination_path());
}

// --- The card offer ----------------------------------------------------------------------

void TransferPanel::type_source(const std::string& folder) {
    m_chemin->setText(path_text(folder));
}

void TransferPanel::cards_looked(const std::vector<Volume>& mounted,
                                 const std::vector<Volume>& new_cards) {
    if (m_card_offer && !is_mounted(*m_card_offer, mounted))
        m_card_offer.reset();
    if (new_cards.empty() || folder_exists(source_path()))
        return;
    m_card_offer = new_cards.back();
    // A card wakes the window as pictures on the source do.
    if (m_links.wake)
        m_links.wake();
}

void TransferPanel::show_card_offer(bool source_available) {
    if (source_available)
        m_card_offer.reset();
    if (!m_card_offer)
        return;
    m_statussrc->setText(
        path_text(Remplacer("#1", m_card_offer->mount_point, text_of("use_card"))));
    QPalette palette = m_statussrc->palette();
    palette.setColor(QPalette::WindowText, palette.color(QPalette::Link));
    m_statussrc->setPalette(palette);
}

void TransferPanel::use_offered_card() {
    // The card may have gone since the offer was made.
    if (m_card_offer && is_mounted(*m_card_offer, list_volumes(m_tables)))
        type_source(m_card_offer->mount_point);
    m_card_offer.reset();
    update_status();
}

// --- The run -----------------------------------------------------------------------------

void TransferPanel::start() {
    if (running())
        return;
    if (m_links.before_run)
        m_links.before_run();
    // The choices are read before the run holds the setup page: a control on a disabled
    // page reads as disabled, and the date sub-folder box counts only while it is enabled.
    TransferOptions options = m_links.setup_options ? m_links.setup_options() : TransferOptions{};
    options.source_text = from_qt(m_chemin->text());
    options.destination_text = from_qt(m_destin->text());
    options.only_new = m_onlynew->isChecked();
    options.history_path = history_file_path();
    options.volume_tables = m_tables;
    // Every control the run reads or that would touch what it writes waits for its end.
    std::vector<QWidget*> held = {m_xfer,   m_chemin, m_Command2, m_statussrc,
                                  m_destin, m_dest,   m_onlynew};
    held.insert(held.end(), m_links.held.begin(), m_links.held.end());
    m_running = std::make_unique<RunningTransfer>(*m_pbar, *m_links.quality, *m_xferinfo,
                                                  *m_cancelxfer, m_language, held, dialogs());

    // The job keeps copies of what it reads, so nothing it uses changes under it.
    TransferView* view = &m_running->view();
    auto job = [this, view, options = std::move(options), language = m_language,
                thumbs_dir = m_thumbs_dir](JobContext& context) mutable {
        options.stop_requested = [&context] { return context.stop_requested(); };
        PostedProgress progress(context, *view);
        WorkerTasks thumbnails(WorkerTasks::threads_for_this_machine());
        std::vector<TransferredPicture> pictures;
        run_transfer(
            options, thumbs_dir, language, context.dialogs(), progress, pictures,
            [&] { context.on_window([&] { transfer_before_report(pictures); }); }, &thumbnails);
    };
    m_runner->start(std::move(job), m_running->dialogs(),
                    [this](const JobEnd& end) { end_transfer(end); });
}

// On the window's thread, with the worker waiting: the status and the run's pictures, then
// the report.
void TransferPanel::transfer_before_report(const std::vector<TransferredPicture>& pictures) {
    update_status();
    if (m_links.pictures_ready)
        m_links.pictures_ready(pictures);
}

void TransferPanel::end_transfer(const JobEnd& end) {
    m_running.reset();
    if (m_links.after_run)
        m_links.after_run();
    if (end.failed)
        dialogs().message_box(Remplacer("#1", end.error, text_of("job_error")), application_title,
                              Icon::Critical, Buttons::Ok);
    if (m_close_when_stopped) {
        m_close_when_stopped = false;
        m_window.close();
        return;
    }
    if (m_links.resume_watch)
        m_links.resume_watch();
}

void TransferPanel::stop() {
    if (!running())
        return;
    m_runner->request_stop();
    m_running->view().freeze_rate();
    // The picture in hand still ends; the button says the request was heard.
    m_cancelxfer->setEnabled(false);
}

void TransferPanel::stop_and_close() {
    m_close_when_stopped = true;
    stop();
}

} // namespace orvix
