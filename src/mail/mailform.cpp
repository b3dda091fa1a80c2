#include "mail/mailform.h"

#include "controls/progress/vumbar.h"
#include "mailctl/sendix_ids.h"
#include "platform/qt/widget_helpers.h"
#include "runner/job_runner.h"
#include "settings/prefs.h"
#include "text/text.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QSlider>
#include <QThread>

#include <atomic>
#include <map>
#include <mutex>
#include <optional>
#include <thread>

namespace orvix {

using widgets::named;
using widgets::plain_label;
using widgets::qt;

// --- The hosted control -------------------------------------------------------------------

namespace {

bool on_window_thread() {
    const QCoreApplication* application = QCoreApplication::instance();
    return application && QThread::currentThread() == application->thread();
}

// The hand-overs under way. Each runs on a thread of its own, so the window keeps answering
// while the mail program starts (a program that was not running keeps xdg-email, and so the
// hand-over, until it closes) and a failure is told whenever it comes. A finished thread is
// joined on the window's thread. The list lives as long as the application object.
class MailSends final : public QObject {
public:
    static MailSends* instance() {
        const std::lock_guard lock(current_mutex());
        if (!current() && QCoreApplication::instance())
            current() = new MailSends(QCoreApplication::instance());
        return current();
    }

    // Runs work on a new thread; false when there is no application to report to.
    static bool start(std::function<void()> work) {
        MailSends* sends = instance();
        if (!sends)
            return false;
        const int id = ++sends->m_last_id;
        sends->m_threads.emplace(id, std::thread([work = std::move(work), id] {
                                     work();
                                     finished(id);
                                 }));
        return true;
    }

    static bool under_way() {
        const std::lock_guard lock(current_mutex());
        return current() && !current()->m_threads.empty();
    }

    ~MailSends() override {
        {
            const std::lock_guard lock(current_mutex());
            current() = nullptr;
        }
        // The application is ending while a mail program still has a mail: its thread is
        // left to end with the process, holding what it uses.
        for (auto& [id, thread] : m_threads)
            thread.detach();
    }

private:
    explicit MailSends(QObject* parent) : QObject(parent) {}

    static MailSends*& current() {
        static MailSends* sends = nullptr;
        return sends;
    }
    static std::mutex& current_mutex() {
        static std::mutex mutex;
        return mutex;
    }

    static void finished(int id) {
        const std::lock_guard lock(current_mutex());
        if (MailSends* sends = current()) {
            QMetaObject::invokeMethod(
                sends,
                [sends, id] {
                    const auto it = sends->m_threads.find(id);
                    if (it == sends->m_threads.end())
                        return;
                    it->second.join();
                    sends->m_threads.erase(it);
                },
                Qt::QueuedConnection);
        }
    }

    std::map<int, std::thread> m_threads;
    int m_last_id = 0;
};

// Message boxes asked from a hand-over's thread, shown on the window's thread while it waits.
class WindowThreadDialogs final : public Dialogs {
public:
    explicit WindowThreadDialogs(Dialogs& target) : m_target(target) {}

    Answer message_box(const std::string& text, const std::string& title, Icon icon,
                       Buttons buttons) override {
        Answer answer = Answer::Cancel;
        on_window([&] { answer = m_target.message_box(text, title, icon, buttons); });
        return answer;
    }
    std::optional<std::string> input_box(const std::string& prompt, const std::string& title,
                                         const std::string& default_answer) override {
        std::optional<std::string> answer;
        on_window([&] { answer = m_target.input_box(prompt, title, default_answer); });
        return answer;
    }

private:
    static void on_window(const std::function<void()>& work) {
        if (on_window_thread()) {
            work();
            return;
        }
        // The application object lives until the program ends; once it is gone no box is
        // shown.
        if (QCoreApplication* application = QCoreApplication::instance())
            QMetaObject::invokeMethod(application, work, Qt::BlockingQueuedConnection);
    }

    Dialogs& m_target;
};

} // namespace

class SendixControl::WindowSite final : public component::Site {
public:
    WindowSite(Dialogs& dialogs, const LanguageTable& language, QObject& control)
        : Site(m_window_dialogs), m_window_dialogs(dialogs), m_language(language),
          m_control(&control) {}

    // The program's other windows are blocked by the modal mail window already; disabling
    // and enabling them again would also enable buttons they keep disabled themselves. A
    // hand-over on its own thread leaves every window answering.
    void enable_modeless(bool enable) override {
        if (!on_window_thread())
            return;
        QWidget* owner = owner_window();
        if (!owner)
            return;
        owner->setEnabled(enable);
        if (enable) {
            owner->activateWindow();
            owner->setFocus();
        }
    }

    uintptr_t window_handle() override { return m_window_handle; }

    std::string text(const std::string& key) override { return m_language.translate(key); }

    // Taken on the window's thread before a hand-over starts.
    void remember_window_handle() {
        QWidget* owner = owner_window();
        m_window_handle = owner ? static_cast<uintptr_t>(owner->internalWinId()) : 0;
    }

private:
    QWidget* owner_window() const {
        auto* widget = m_control ? qobject_cast<QWidget*>(m_control->parent()) : nullptr;
        return widget ? widget->window() : nullptr;
    }

    WindowThreadDialogs m_window_dialogs;
    const LanguageTable m_language; // a copy: a hand-over may outlive the window
    QPointer<QObject> m_control;
    std::atomic<uintptr_t> m_window_handle{0};
};

// The component and the site it was given, shared by the control and its hand-overs.
struct SendixControl::Hosted {
    std::unique_ptr<WindowSite> site;
    component::Creation creation;
    std::mutex calls; // one call into the component at a time

    ~Hosted() { creation.component.reset(); } // released before the site it was given
};

SendixControl::SendixControl(Dialogs& dialogs, const LanguageTable& language,
                             const std::string& bundled_library)
    : m_dialogs(dialogs), m_hosted(std::make_shared<Hosted>()) {
    m_hosted->site = std::make_unique<WindowSite>(dialogs, language, *this);
    component::ensure_registered(sendix::control_class_id, bundled_library);
    m_hosted->creation = component::create_shipped_component(
        sendix::control_class_id, bundled_library, sendix::dispatch_interface_id,
        sendix::dispatch_interface_version, m_hosted->site.get());
}

SendixControl::~SendixControl() = default;

bool SendixControl::ready() const {
    return m_hosted->creation.component != nullptr;
}

std::string SendixControl::problem() const {
    return "No mail can be sent: the mail-sending component is not available.\n" +
           component::describe(m_hosted->creation);
}

void SendixControl::SendaMail(const std::string& Url, const std::string& Sujet,
                              const std::string& Cc, const std::string& Joindre,
                              const std::string& Texte) {
    if (!ready()) {
        m_dialogs.message_box(problem(), "", Icon::Exclamation, Buttons::Ok);
        return;
    }
    m_hosted->site->remember_window_handle();
    std::vector<std::string> args = {Url, Sujet, Cc, Joindre, Texte};
    // The hand-over holds the component until it ends, whatever becomes of this window.
    const bool started = MailSends::start([hosted = m_hosted, args = std::move(args)] {
        const std::lock_guard lock(hosted->calls);
        hosted->creation.component->invoke(sendix::dispid_SendaMail, args);
    });
    if (!started)
        m_hosted->creation.component->invoke(sendix::dispid_SendaMail,
                                             {Url, Sujet, Cc, Joindre, Texte});
}

bool mails_under_way() {
    return MailSends::under_way();
}

// --- The window ---------------------------------------------------------------------------

namespace {

// The preparation's progress on the window's bar. The worker leaves the count of pictures
// done and the window takes the latest when it gets round to it, so quick pictures cannot
// flood its queue; a post that comes after the window is gone finds no bar.
class PreparationProgress final : public BatchSink {
public:
    PreparationProgress(JobContext& job, Vumbar& bar)
        : m_job(job), m_state(std::make_shared<State>()), m_bar(&bar) {}

    void file_done(size_t done, const FileOutcome&) override {
        m_state->done = done;
        if (m_state->posted.exchange(true))
            return;
        m_job.post([state = m_state, bar = m_bar] {
            state->posted = false;
            if (bar)
                bar->setValue(static_cast<qint32>(state->done.load()));
        });
    }
    bool stop_requested() const override { return m_job.stop_requested(); }

private:
    struct State {
        std::atomic<size_t> done{0};
        std::atomic<bool> posted{false};
    };
    JobContext& m_job;
    std::shared_ptr<State> m_state;
    QPointer<Vumbar> m_bar;
};

} // namespace

mailform::mailform(MailContext context, std::unique_ptr<MailControl> control, QWidget* owner)
    : QDialog(owner), m_context(std::move(context)), m_runner(std::make_unique<JobRunner>()) {
    setObjectName(QStringLiteral("mailform"));
    setModal(true);
    m_sendix = control.release();
    m_sendix->setParent(this);
    m_sendix->setObjectName(QStringLiteral("sendix"));
    create_controls();
    Form_Load();
    // Connected once the stored choices are in place, so loading writes no preference.
    connect_handlers();
}

mailform::~mailform() = default;

void mailform::create_controls() {
    m_infolabel = plain_label(this, "infolabel");
    m_infolabel->setWordWrap(true);
    m_labeldest = plain_label(this, "labeldest");
    m_destinataire = named(new QComboBox(this), "destinataire");
    m_destinataire->setEditable(true);
    m_destinataire->setInsertPolicy(QComboBox::NoInsert);
    m_labelobjet = plain_label(this, "labelobjet");
    m_objet = named(new QLineEdit(this), "objet");
    m_labellemess = plain_label(this, "labellemess");
    m_lemess = named(new QPlainTextEdit(this), "lemess");
    m_labelsize = plain_label(this, "labelsize");
    m_sizepic = named(new QListWidget(this), "sizepic");
    m_sizepic->setFixedHeight(m_sizepic->sizeHintForRow(0) > 0 ? m_sizepic->sizeHintForRow(0) * 7
                                                               : 110);
    m_labelqual = plain_label(this, "labelqual");
    m_qualslider = named(new QSlider(Qt::Horizontal, this), "qualslider");
    m_qualslider->setRange(1, 100);
    m_qualslider->setTickPosition(QSlider::TicksBelow);
    m_qualslider->setTickInterval(10);
    m_qualslider->setPageStep(5);
    // The slider alone would not tell the quality chosen.
    m_qualvalue = plain_label(this, "qualvalue");
    m_qualvalue->setMinimumWidth(
        m_qualvalue->fontMetrics().horizontalAdvance(QStringLiteral("100")));
    m_nojpeg = named(new QCheckBox(this), "nojpeg");
    m_prepare = named(new QPushButton(this), "prepare");
    m_prepare->setDefault(true);
    m_cancel = named(new QPushButton(this), "cancel");
    // Shown only while the pictures are prepared.
    m_mailbar = named(new Vumbar(this), "mailbar");
    m_mailbar->setCaption(QStringLiteral("{value}/{max}"));
    m_mailbar->setVisible(false);
    m_stop = named(new QPushButton(this), "stop");
    m_stop->setVisible(false);

    auto* grid = new QGridLayout(this);
    grid->addWidget(m_infolabel, 0, 0, 1, 2);
    grid->addWidget(m_labeldest, 1, 0);
    grid->addWidget(m_destinataire, 1, 1);
    grid->addWidget(m_labelobjet, 2, 0);
    grid->addWidget(m_objet, 2, 1);
    grid->addWidget(m_labellemess, 3, 0, Qt::AlignTop);
    grid->addWidget(m_lemess, 3, 1);
    grid->addWidget(m_labelsize, 4, 0, Qt::AlignTop);
    grid->addWidget(m_sizepic, 4, 1);
    grid->addWidget(m_labelqual, 5, 0);
    auto* quality = new QHBoxLayout;
    quality->addWidget(m_qualslider, 1);
    quality->addWidget(m_qualvalue);
    grid->addLayout(quality, 5, 1);
    grid->addWidget(m_nojpeg, 6, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_mailbar, 1);
    buttons->addWidget(m_stop);
    buttons->addStretch(1);
    buttons->addWidget(m_prepare);
    buttons->addWidget(m_cancel);
    grid->addLayout(buttons, 7, 0, 1, 2);
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(3, 1);
    resize(520, 560);
}

void mailform::connect_handlers() {
    connect(m_sizepic, &QListWidget::currentRowChanged, this, &mailform::sizepic_Click);
    connect(m_qualslider, &QSlider::valueChanged, this, &mailform::qualslider_Click);
    connect(m_nojpeg, &QCheckBox::toggled, this, &mailform::nojpeg_Click);
    connect(m_prepare, &QPushButton::clicked, this, &mailform::prepare_Click);
    connect(m_cancel, &QPushButton::clicked, this, &mailform::cancel_Click);
    connect(m_stop, &QPushButton::clicked, this, &mailform::stop_Click);
}

QString mailform::qtext_of(const char* key) const {
    return qt(m_context.language.translate(key));
}

void mailform::Form_Load() {
    const LanguageTable& language = m_context.language;
    const std::string& prefs = m_context.prefs_text;
    setWindowTitle(qtext_of("send_mail"));
    m_infolabel->setText(qt(Remplacer("<BR>", CRLF, language.translate("infolabel"))));
    m_prepare->setText(qtext_of("btn_prepare"));
    m_cancel->setText(qtext_of("btn_cancel"));
    m_labeldest->setText(qtext_of("label_dest"));
    m_labelobjet->setText(qtext_of("label_subject"));
    m_labellemess->setText(qtext_of("label_message"));
    m_labelsize->setText(qtext_of("label_size"));
    m_labelqual->setText(qtext_of("label_quality"));
    m_nojpeg->setText(qtext_of("noconversion"));
    m_stop->setText(qtext_of("btn_cancelxfer"));

    m_destinataire->clear();
    for (const std::string& recipient : recent_recipients(prefs))
        m_destinataire->addItem(qt(recipient));
    m_destinataire->setEditText(m_destinataire->count() > 0 ? m_destinataire->itemText(0)
                                                            : QString());

    m_objet->setText(qt(mail_subject(language)));

    m_sizepic->clear();
    m_sizepic->addItem(qtext_of("dim_idem"));
    const std::string big_axis = language.translate("big_axis");
    for (const char* size : mail_sizes)
        m_sizepic->addItem(qt(Remplacer("#1", size, big_axis)));
    m_sizepic->setCurrentRow(stored_mail_size(prefs, m_sizepic->count()));

    m_qualslider->setValue(stored_mail_quality(prefs));
    show_quality();
    m_nojpeg->setChecked(stored_nojpeg(prefs));
    enable_conversion_controls();

    if (!m_sendix->ready()) {
        m_prepare->setEnabled(false);
        m_context.dialogs.message_box(m_sendix->problem(), application_title, Icon::Exclamation,
                                      Buttons::Ok);
    }
}

void mailform::show_quality() {
    m_qualvalue->setText(QString::number(m_qualslider->value()));
}

// Size and quality do not apply to originals sent unchanged.
void mailform::enable_conversion_controls() {
    const bool converting = !m_nojpeg->isChecked();
    m_sizepic->setEnabled(converting);
    m_qualslider->setEnabled(converting);
}

void mailform::sizepic_Click() {
    set_key_value("LASTMAILSIZE", m_context.prefs_text, std::to_string(m_sizepic->currentRow()));
}

void mailform::qualslider_Click() {
    show_quality();
    set_key_value("QUALITYMAIL", m_context.prefs_text, std::to_string(m_qualslider->value()));
}

void mailform::nojpeg_Click() {
    enable_conversion_controls();
    set_key_value("NOJPEGMAIL", m_context.prefs_text, m_nojpeg->isChecked() ? "1" : "0");
}

MailChoices mailform::read_choices() const {
    MailChoices choices;
    choices.selection = m_context.selection;
    choices.recipient = m_destinataire->currentText().toStdString();
    choices.subject = m_objet->text().toStdString();
    choices.message = m_lemess->toPlainText().toStdString();
    choices.size_index = m_sizepic->currentRow();
    choices.quality = m_qualslider->value();
    choices.nojpeg = m_nojpeg->isChecked();
    return choices;
}

bool mailform::preparing() const {
    return m_runner->running();
}

// The pictures are prepared beside the window: it keeps painting, the bar counts them and
// Stop ends the preparation after the picture in hand. The question and the hand-over to
// the mail program come after, on the window's thread.
void mailform::prepare_Click() {
    if (preparing())
        return;
    const MailChoices choices = read_choices();
    if (tell_empty_selection(choices, m_context.dialogs)) {
        m_last_result = {};
        return;
    }
    hold_controls(choices.selection.size());
    // The job works on copies of what it reads, so nothing it uses changes under it.
    auto attachments = std::make_shared<MailAttachments>();
    auto job = [choices, pictures = m_context.pictures, mail_root = m_context.mail_root,
                attachments, bar = m_mailbar](JobContext& context) {
        PreparationProgress progress(context, *bar);
        *attachments = prepare_attachments(choices, pictures, mail_root, progress);
    };
    m_runner->start(std::move(job), m_context.dialogs,
                    [this, choices, attachments](const JobEnd& end) {
                        end_preparation(end, choices, *attachments);
                    });
}

void mailform::end_preparation(const JobEnd& end, const MailChoices& choices,
                               const MailAttachments& attachments) {
    release_controls();
    if (end.failed) {
        m_last_result = {};
        m_context.dialogs.message_box(
            Remplacer("#1", end.error, m_context.language.translate("job_error")),
            application_title, Icon::Critical, Buttons::Ok);
        return;
    }
    m_last_result = finish_mail(choices, attachments, m_context.language, m_context.dialogs,
                                *m_sendix, m_context.prefs_text);
    if (m_last_result.outcome == PrepareOutcome::Sent)
        accept();
}

void mailform::hold_controls(size_t pictures) {
    for (QWidget* widget :
         std::initializer_list<QWidget*>{m_destinataire, m_objet, m_lemess, m_sizepic, m_qualslider,
                                         m_nojpeg, m_prepare, m_cancel}) {
        m_held.emplace_back(widget, widget->isEnabled());
        widget->setEnabled(false);
    }
    m_mailbar->setMin(0);
    m_mailbar->setMax(static_cast<qint32>(pictures));
    m_mailbar->setValue(0);
    m_mailbar->setVisible(true);
    m_stop->setEnabled(true);
    m_stop->setVisible(true);
}

void mailform::release_controls() {
    m_mailbar->setVisible(false);
    m_stop->setVisible(false);
    for (const auto& [widget, enabled] : m_held)
        widget->setEnabled(enabled);
    m_held.clear();
}

void mailform::stop_Click() {
    if (!preparing())
        return;
    m_runner->request_stop();
    // The picture in hand still ends; the button says the request was heard.
    m_stop->setEnabled(false);
}

void mailform::reject() {
    if (preparing()) {
        stop_Click();
        return;
    }
    QDialog::reject();
}

void mailform::cancel_Click() {
    reject();
}

} // namespace orvix
