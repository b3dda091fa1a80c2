#include "app/setup_page.h"

#include "platform/qt/widget_helpers.h"
#include "text/text.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QVBoxLayout>

namespace orvix {

namespace {

using widgets::named;
using widgets::plain_label;
using widgets::qt;

// Sets one naming option. An auto-exclusive radio button refuses to be unchecked, and
// the preferences may leave every option unchecked, so exclusivity is lifted for that.
void set_option(QRadioButton& option, bool on) {
    if (on) {
        option.setChecked(true);
        return;
    }
    if (!option.isChecked())
        return;
    option.setAutoExclusive(false);
    option.setChecked(false);
    option.setAutoExclusive(true);
}

int check_value(const QCheckBox& box) {
    return box.isChecked() ? 1 : 0;
}

// A check box state from the preferences: the numeric value, where only 1 means checked.
bool checked_pref(const std::string& prefs_text, const char* key) {
    return numeric_value(get_key_value(key, prefs_text)) == 1;
}

} // namespace

SetupPage::SetupPage(QWidget& window, SetupShared shared) : m_shared(shared) {
    m_frame_setup = named(new QFrame(&window), "frame_setup");
    QWidget* page = m_frame_setup;
    m_none = named(new QRadioButton(page), "none");
    m_cre = named(new QRadioButton(page), "cre");
    m_modific = named(new QRadioButton(page), "modific");
    m_capture = named(new QRadioButton(page), "capture");
    m_otherrename = named(new QRadioButton(page), "otherrename");
    m_renpattern = named(new QLineEdit(page), "renpattern");
    m_otherrenameinfo = plain_label(page, "otherrenameinfo");
    m_otherrenameinfo->setWordWrap(true);
    m_subdir = named(new QCheckBox(page), "subdir");
    m_delete = named(new QCheckBox(page), "delete");
    m_autorotate = named(new QCheckBox(page), "autorotate");
    m_showthumbs = named(new QCheckBox(page), "showthumbs");
    m_asleep = named(new QCheckBox(page), "asleep");
    m_fileformatlabel = plain_label(page, "fileformatlabel");
    m_formatchoice = named(new QComboBox(page), "formatchoice");
    m_qualitylabel = plain_label(page, "qualitylabel");
    m_quality = named(new QLineEdit(QStringLiteral("80"), page), "quality");
    m_quality->setMaximumWidth(m_quality->fontMetrics().horizontalAdvance(QLatin1Char('0')) * 8);
    m_lnglabel = plain_label(page, "lnglabel");
    m_lng = named(new QComboBox(page), "lng");

    auto* naming = new QVBoxLayout;
    for (QWidget* widget : std::initializer_list<QWidget*>{
             m_none, m_cre, m_modific, m_capture, m_otherrename, m_renpattern, m_otherrenameinfo})
        naming->addWidget(widget);
    naming->addSpacing(12);
    naming->addWidget(m_subdir);
    naming->addWidget(m_delete);
    naming->addWidget(m_autorotate);
    naming->addStretch(1);

    auto* output = new QVBoxLayout;
    output->addWidget(m_showthumbs);
    output->addWidget(m_asleep);
    output->addSpacing(12);
    for (QWidget* widget : std::initializer_list<QWidget*>{
             m_fileformatlabel, m_formatchoice, m_qualitylabel, m_quality, m_lnglabel, m_lng})
        output->addWidget(widget);
    output->addStretch(1);

    auto* columns = new QHBoxLayout(page);
    columns->addLayout(naming, 3);
    columns->addSpacing(24);
    columns->addLayout(output, 2);

    QObject::connect(m_capture, &QRadioButton::clicked, m_capture, [this] { updatecombos(); });
}

void SetupPage::load() {
    const std::string& prefs = m_shared.prefs_text;
    const std::optional<NamingMode> naming =
        naming_mode_of_word(get_key_value("RENAME_WITH", prefs));
    set_option(*m_cre, naming == NamingMode::CreationDate);
    set_option(*m_modific, naming == NamingMode::ModificationDate);
    set_option(*m_capture, naming == NamingMode::CaptureDate);
    set_option(*m_otherrename, naming == NamingMode::Pattern);
    m_renpattern->setText(qt(get_key_value("RENAME_PATTERN", prefs)));
    set_option(*m_none, naming == NamingMode::Keep);
    m_subdir->setChecked(checked_pref(prefs, "CREATE_SUBDIR"));
    m_delete->setChecked(checked_pref(prefs, "DELETE_ORIGINAL"));
    m_autorotate->setChecked(checked_pref(prefs, "AUTO_ROTATE"));
    m_showthumbs->setChecked(checked_pref(prefs, "SHOW_THUMBS"));
    m_asleep->setChecked(checked_pref(prefs, "OPEN_ASLEEP"));
    updatecombos();
    fill_language_list();
    m_quality->setText(
        QString::number(jpeg_quality_of(numeric_value(get_key_value("QUALITYFACTOR", prefs)))));
}

void SetupPage::fill_language_list() {
    m_lng->clear();
    // Each language shows under its own name; the entry's data is the file it loads.
    const std::vector<std::string> shown =
        language_display_names(m_shared.locations, m_shared.language_names);
    for (size_t i = 0; i < shown.size(); ++i)
        m_lng->addItem(qt(shown[i]), qt(m_shared.language_names[i]));
    m_lng->setCurrentIndex(m_lng->findData(qt(m_shared.language.name())));
}

QString SetupPage::qtext_of(const char* key) const {
    return qt(m_shared.language.translate(key));
}

void SetupPage::traduce() {
    m_lnglabel->setText(qtext_of("language"));
    m_none->setText(qtext_of("copy_nochange"));
    m_cre->setText(qtext_of("copy_creationdate"));
    m_modific->setText(qtext_of("copy_modificationdate"));
    m_capture->setText(qtext_of("copy_capturedate"));
    m_otherrename->setText(qtext_of("copy_otherrename"));
    // The one text whose "<BR>" becomes a line break.
    m_otherrenameinfo->setText(
        qt(Remplacer("<BR>", CRLF, m_shared.language.translate("otherrename_info"))));
    m_subdir->setText(qtext_of("create_subdirs"));
    m_delete->setText(qtext_of("delete_originals"));
    m_autorotate->setText(qtext_of("auto_rotate"));
    m_asleep->setText(qtext_of("start_aspleep"));
    m_showthumbs->setText(qtext_of("show_thumbs"));
    m_fileformatlabel->setText(qtext_of("fileformat"));

    m_formatchoice->clear();
    for (const OutputFormat& format : output_formats)
        m_formatchoice->addItem(format.label.empty() ? qtext_of("noconversion")
                                                     : QString::fromLatin1(format.label));
    // A hand-edited index that names no entry leaves the list without a selection.
    m_formatchoice->setCurrentIndex(
        format_index_of(numeric_value(get_key_value("FILECONVERSION", m_shared.prefs_text))));
    m_qualitylabel->setText(qtext_of("qualitylabel"));
}

void SetupPage::updatecombos() {
    const std::string pattern = from_qt(m_renpattern->text());
    const bool other = m_otherrename->isChecked();
    m_subdir->setEnabled(naming_carries_date(naming_mode(), pattern));
    m_otherrenameinfo->setVisible(other);
    m_renpattern->setEnabled(other);
}

void SetupPage::store_format() {
    set_key_value("FILECONVERSION", m_shared.prefs_text,
                  std::to_string(m_formatchoice->currentIndex()));
}

void SetupPage::choose_language() {
    set_key_value("CURRENT_LANGUAGE", m_shared.prefs_text,
                  from_qt(m_lng->currentData().toString()) + ".lng");
    m_shared.language_names =
        load_language(m_shared.locations, m_shared.prefs_text, m_shared.language);
    fill_language_list();
    if (on_language_changed)
        on_language_changed();
}

NamingMode SetupPage::naming_mode() const {
    return m_cre->isChecked()           ? NamingMode::CreationDate
           : m_modific->isChecked()     ? NamingMode::ModificationDate
           : m_capture->isChecked()     ? NamingMode::CaptureDate
           : m_otherrename->isChecked() ? NamingMode::Pattern
                                        : NamingMode::Keep;
}

MainWindowPrefs SetupPage::current_prefs() const {
    MainWindowPrefs values;
    values.rename_pattern = from_qt(m_renpattern->text());
    values.quality = from_qt(m_quality->text());
    values.rename_with = std::string(rename_with_word(naming_mode()));
    values.create_subdir = check_value(*m_subdir);
    values.delete_original = check_value(*m_delete);
    values.auto_rotate = check_value(*m_autorotate);
    values.show_thumbs = check_value(*m_showthumbs);
    values.open_asleep = check_value(*m_asleep);
    return values;
}

TransferOptions SetupPage::transfer_options() const {
    TransferOptions options;
    options.naming = naming_mode();
    options.pattern = from_qt(m_renpattern->text());
    options.subdir_enabled = m_subdir->isEnabled();
    options.subdir_checked = m_subdir->isChecked();
    options.format_index = m_formatchoice->currentIndex();
    options.quality_text = from_qt(m_quality->text());
    options.show_thumbs = m_showthumbs->isChecked();
    options.delete_originals = m_delete->isChecked();
    options.auto_rotate = m_autorotate->isChecked();
    return options;
}

bool SetupPage::show_thumbs() const {
    return m_showthumbs->isChecked();
}

bool SetupPage::starts_asleep() const {
    return m_asleep->isChecked();
}

} // namespace orvix
