// The transfer page's folders and the run: the source and destination boxes with their
// status, the camera card the source status offers, and the transfer itself on a worker
// thread with its bar, stop button and speed line on the window.
#pragma once

#include "app/layout.h"
#include "fs/fs.h"
#include "settings/language.h"
#include "transfer/transfer.h"

#include <QIcon>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QCheckBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

namespace orvix {

class ClickableLabel;
class Desktop;
class JobRunner;
class RunningTransfer;
class Vumbar;
struct JobEnd;

// What the panel shares with the program; each must outlive the panel.
struct TransferShared {
    Desktop& desktop;
    const LanguageTable& language;
    const SystemTables& tables; // where the mounted volumes are read
    const std::string& thumbs_dir;
};

struct TransferIcons {
    QIcon browse;   // Command2, dest
    QIcon open;     // Command3, Command4
    QIcon transfer; // xfer
};

// How the panel reaches the rest of the window; set once the window has all its parts.
struct TransferLinks {
    // The setup page's share of a run's choices.
    std::function<TransferOptions()> setup_options;
    // Shows the quality each run uses; the run writes "100" back when the typed one is
    // out of range.
    QLineEdit* quality = nullptr;
    // Controls of other parts that wait for the run's end.
    std::vector<QWidget*> held;
    // Before a run: the last run's pictures go, the commands and the camera watch wait.
    std::function<void()> before_run;
    // On the window's thread, with the worker waiting before its report: the run's pictures.
    std::function<void(const std::vector<TransferredPicture>&)> pictures_ready;
    // The run has ended and the panel's controls are back.
    std::function<void()> after_run;
    // The camera watch goes on after a run that did not close the window.
    std::function<void()> resume_watch;
    // Pictures or a new card are waiting: a hidden window shows itself.
    std::function<void()> wake;
};

class TransferPanel {
public:
    // Builds the folder frames and the transfer button on page, and the bar, the stop
    // button and the speed line, hidden, on window. page and window must outlive the panel.
    TransferPanel(QFrame& page, QWidget& window, TransferShared shared, const TransferIcons& icons);
    ~TransferPanel();
    TransferPanel(const TransferPanel&) = delete;
    TransferPanel& operator=(const TransferPanel&) = delete;

    void link(TransferLinks links) { m_links = std::move(links); }
    // The folders and the new-pictures box from the preferences.
    void load(const std::string& prefs_text);
    // The new-pictures box into the preferences (ONLY_NEW).
    void save(std::string& prefs_text) const;
    void traduce();
    // The widths the buttons' captions need, in twips.
    CaptionWidths caption_widths(double twips_per_pixel) const;
    int info_line_height(double twips_per_pixel) const;
    void place(const MainLayout& layout, double twips_per_pixel);

    // Refreshes the source and destination status, offering a new card while the source
    // is unavailable.
    void update_status();
    // Puts the folder in the source box as if the user had typed it.
    void type_source(const std::string& folder);
    std::string source_path() const;
    std::string destination_path() const;

    void browse_source();
    void open_source();
    void browse_destination();
    void open_destination();
    // The source status was clicked: the offered card, when still mounted, becomes the source.
    void use_offered_card();
    // A look of the camera watch: an offer whose card went is withdrawn, and the newest
    // card offered while the source is unavailable.
    void cards_looked(const std::vector<Volume>& mounted, const std::vector<Volume>& new_cards);

    void start();
    // Asks the run to stop after the picture in hand.
    void stop();
    // Stops the run and closes the window once it has ended.
    void stop_and_close();
    // True from the start until the run has ended and the window got its controls back.
    bool running() const { return m_running != nullptr; }

    ClickableLabel& source_status_label() { return *m_statussrc; }
    QPushButton& browse_source_button() { return *m_Command2; }
    QPushButton& open_source_button() { return *m_Command3; }
    QPushButton& browse_destination_button() { return *m_dest; }
    QPushButton& open_destination_button() { return *m_Command4; }
    QPushButton& transfer_button() { return *m_xfer; }
    QCheckBox& only_new_box() { return *m_onlynew; }
    QPushButton& stop_button() { return *m_cancelxfer; }
    Vumbar& bar() { return *m_pbar; }

private:
    void show_card_offer(bool source_available);
    // How many of the source's pictures no transfer copied before.
    int new_pictures(const std::string& source, const std::vector<std::string>& pictures) const;
    void transfer_before_report(const std::vector<TransferredPicture>& pictures);
    void end_transfer(const JobEnd& end);
    std::string text_of(const char* key) const;

    QWidget& m_window;
    Desktop& m_desktop;
    const LanguageTable& m_language;
    const SystemTables& m_tables;
    const std::string& m_thumbs_dir;
    TransferLinks m_links;
    std::optional<Volume> m_card_offer; // the new card the source status offers

    QGroupBox* m_Frame1 = nullptr;
    QLineEdit* m_chemin = nullptr;
    ClickableLabel* m_statussrc = nullptr;
    QPushButton* m_Command2 = nullptr;
    QPushButton* m_Command3 = nullptr;
    QGroupBox* m_Frame2 = nullptr;
    QLineEdit* m_destin = nullptr;
    QLabel* m_freedest = nullptr;
    QPushButton* m_dest = nullptr;
    QPushButton* m_Command4 = nullptr;
    QPushButton* m_xfer = nullptr;
    QCheckBox* m_onlynew = nullptr;
    Vumbar* m_pbar = nullptr;
    QPushButton* m_cancelxfer = nullptr;
    QLabel* m_xferinfo = nullptr;

    // The runner goes first when the panel does, so its job has stopped before what the
    // job shows goes.
    std::unique_ptr<RunningTransfer> m_running;
    std::unique_ptr<JobRunner> m_runner;
    bool m_close_when_stopped = false;
};

} // namespace orvix
