// The mail window: recipient, subject, message, size and quality of the pictures, and the
// mail-sending control it hosts. Its handlers keep the names control + "_" + event.
#pragma once

#include "component/host.h"
#include "component/site.h"
#include "mail/mail_preparation.h"

#include <QDialog>
#include <QObject>

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QSlider;

namespace orvix {

class JobRunner;
struct JobEnd;
class Vumbar;

// The mail-sending control as the window hosts it: an object of its own, named "sendix".
class MailControl : public QObject, public MailSender {
    Q_OBJECT

public:
    // Whether mails can be handed over; when not, problem() tells the user why.
    virtual bool ready() const = 0;
    virtual std::string problem() const = 0;
};

// The sendix component that ships with the program in bundled_library (registering it when
// the class has no registration; another registration is used only when that library is
// missing), placed on the window that owns this object. Its prompts are the program's
// message boxes in the program's language. A mail is handed over on a thread of its own:
// the window answers meanwhile, and a failure, however late, is told in a message box.
class SendixControl final : public MailControl {
public:
    SendixControl(Dialogs& dialogs, const LanguageTable& language,
                  const std::string& bundled_library);
    ~SendixControl() override;

    bool ready() const override;
    std::string problem() const override;
    void SendaMail(const std::string& Url, const std::string& Sujet, const std::string& Cc,
                   const std::string& Joindre, const std::string& Texte) override;

private:
    class WindowSite;
    struct Hosted;
    Dialogs& m_dialogs;
    std::shared_ptr<Hosted> m_hosted;
};

// True while a mail is being handed over to the mail program.
bool mails_under_way();

// What the window works on; it belongs to the main window.
struct MailContext {
    std::string& prefs_text;
    const LanguageTable& language;
    const std::vector<TransferredPicture>& pictures;
    std::vector<int32_t> selection; // the grid's selected item numbers when the window opened
    std::string mail_root;          // where each mail's copies get a folder of their own
    Dialogs& dialogs;
};

class mailform : public QDialog {
    Q_OBJECT

public:
    // Builds the controls, runs Form_Load and takes the control (never null).
    mailform(MailContext context, std::unique_ptr<MailControl> control, QWidget* owner);
    ~mailform() override;

    void sizepic_Click();
    void qualslider_Click();
    void nojpeg_Click();
    void prepare_Click();
    void cancel_Click();
    void stop_Click();

    // While the pictures are prepared beside the window, closing it stops the preparation
    // instead; the window stays open.
    void reject() override;

    // True while the pictures are prepared beside the window.
    bool preparing() const;
    // What the last Prepare did (for the window's owner and for tests).
    const MailResult& last_result() const { return m_last_result; }

private:
    void create_controls();
    void connect_handlers();
    void Form_Load();
    void show_quality();
    void enable_conversion_controls();
    QString qtext_of(const char* key) const;
    MailChoices read_choices() const;
    void hold_controls(size_t pictures);
    void release_controls();
    void end_preparation(const JobEnd& end, const MailChoices& choices,
                         const MailAttachments& attachments);

    MailContext m_context;
    MailResult m_last_result;
    MailControl* m_sendix = nullptr; // a child of the window

    QLabel* m_infolabel = nullptr;
    QLabel* m_labeldest = nullptr;
    QComboBox* m_destinataire = nullptr;
    QLabel* m_labelobjet = nullptr;
    QLineEdit* m_objet = nullptr;
    QLabel* m_labellemess = nullptr;
    QPlainTextEdit* m_lemess = nullptr;
    QLabel* m_labelsize = nullptr;
    QListWidget* m_sizepic = nullptr;
    QLabel* m_labelqual = nullptr;
    QSlider* m_qualslider = nullptr;
    QLabel* m_qualvalue = nullptr;
    QCheckBox* m_nojpeg = nullptr;
    QPushButton* m_prepare = nullptr;
    QPushButton* m_cancel = nullptr;
    Vumbar* m_mailbar = nullptr;
    QPushButton* m_stop = nullptr;

    // The controls held while the pictures are prepared, with their state before.
    std::vector<std::pair<QWidget*, bool>> m_held;
    // Ends (stopping its job) before the controls its job reports to.
    std::unique_ptr<JobRunner> m_runner;
};

} // namespace orvix
