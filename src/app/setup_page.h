// The setup page of the main window: how pictures are named, the date sub-folders, the
// originals, the thumbnails, the start asleep, the output format and quality, and the
// language. It reads its controls from the preferences and gives them back to be saved.
#pragma once

#include "settings/language.h"
#include "settings/locations.h"
#include "settings/prefs.h"
#include "transfer/naming.h"
#include "transfer/transfer.h"

#include <QString>

#include <functional>
#include <string>
#include <vector>

class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QRadioButton;
class QWidget;

namespace orvix {

// What the setup page shares with the program: the preferences text it reads and writes,
// the language it changes. Each must outlive the page.
struct SetupShared {
    const Locations& locations;
    std::string& prefs_text;
    LanguageTable& language;
    std::vector<std::string>& language_names; // the entries of the language list
};

class SetupPage {
public:
    // Builds the page, named frame_setup, as a child of window.
    SetupPage(QWidget& window, SetupShared shared);

    // Sets the controls from the preferences.
    void load();
    void traduce();

    // The naming option makes the date sub-folders and the pattern box available or not.
    void updatecombos();
    // The chosen output format goes to the preferences at once.
    void store_format();
    // The chosen language goes to the preferences and is loaded; then on_language_changed.
    void choose_language();

    // The selected naming option; Keep when none is selected.
    NamingMode naming_mode() const;
    // The page's share of the preferences; the folders are the transfer panel's.
    MainWindowPrefs current_prefs() const;
    // The page's share of a run's choices; the folders are the transfer panel's.
    TransferOptions transfer_options() const;
    bool show_thumbs() const;
    bool starts_asleep() const;

    QFrame& page() { return *m_frame_setup; }
    // The transfer writes the quality it used back into the box.
    QLineEdit& quality_box() { return *m_quality; }
    QCheckBox& show_thumbs_box() { return *m_showthumbs; }
    QRadioButton& option_none() { return *m_none; }
    QRadioButton& option_creation() { return *m_cre; }
    QRadioButton& option_modification() { return *m_modific; }
    QRadioButton& option_capture() { return *m_capture; }
    QRadioButton& option_pattern() { return *m_otherrename; }
    QComboBox& format_list() { return *m_formatchoice; }
    QComboBox& language_list() { return *m_lng; }

    std::function<void()> on_language_changed;

private:
    void fill_language_list();
    QString qtext_of(const char* key) const;

    SetupShared m_shared;
    QFrame* m_frame_setup = nullptr;
    QRadioButton* m_none = nullptr;
    QRadioButton* m_cre = nullptr;
    QRadioButton* m_modific = nullptr;
    QRadioButton* m_capture = nullptr;
    QRadioButton* m_otherrename = nullptr;
    QLineEdit* m_renpattern = nullptr;
    QLabel* m_otherrenameinfo = nullptr;
    QCheckBox* m_subdir = nullptr;
    QCheckBox* m_delete = nullptr;
    QCheckBox* m_autorotate = nullptr;
    QCheckBox* m_showthumbs = nullptr;
    QCheckBox* m_asleep = nullptr;
    QComboBox* m_formatchoice = nullptr;
    QLineEdit* m_quality = nullptr;
    QLabel* m_qualitylabel = nullptr;
    QLabel* m_fileformatlabel = nullptr;
    QLabel* m_lnglabel = nullptr;
    QComboBox* m_lng = nullptr;
};

} // namespace orvix
