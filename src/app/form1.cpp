#include "app/form1.h"

#include "app/grid_commands.h"
#include "app/qt_paths.h"
#include "app/status_text.h"
#include "app/toolbar_state.h"
#include "app/transfer_view.h"
#include "app/widgets.h"
#include "controls/progress/vumbar.h"
#include "controls/thumbgrid/glimra.h"
#include "fs/fs.h"
#include "platform/dialogs.h"
#include "platform/qt/desktop.h"
#include "platform/qt/hourglass.h"
#include "platform/qt/qt_translation.h"
#include "platform/qt/text_codec.h"
#include "platform/qt/tray.h"
#include "platform/qt/widget_helpers.h"
#include "runner/job_runner.h"
#include "text/text.h"
#include "transfer/naming.h"
#include "transfer/room_estimate.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace orvix {

namespace {

using widgets::named;
using widgets::plain_label;
using widgets::qt;

constexpr int camera_watch_ms = 5000;
// The window's first inner size, in twips.
constexpr int design_width = 11400;
constexpr int design_height = 7900;
constexpr std::array<const char*, 11> image_keys = {"import2",  "setup", "setup2", "lang",
                                                    "refresh2", "sel",   "ajust",  "cross",
                                                    "mail",     "open",  "inet"};

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

void set_text_colour(QLabel& label, const QColor& colour) {
    QPalette palette = label.palette();
    palette.setColor(QPalette::WindowText, colour);
    label.setPalette(palette);
}

} // namespace

Form1::Form1(ProgramState state, std::unique_ptr<TrayIcon> tray, Desktop& desktop, QWidget* parent)
    : QWidget(parent), m_state(std::move(state)), m_tray(std::move(tray)), m_desktop(desktop),
      m_qt_translation(std::make_unique<QtTranslation>()),
      m_card_watch(list_volumes(m_state.system_tables)), m_runner(std::make_unique<JobRunner>()) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QString::fromLatin1(application_title));
    load_images();
    create_controls();
    connect_handlers();
    Form_Load();
    const double tpp = twips_per_pixel();
    m_layout = design_layout(to_int(m_StatusBar1->sizeHint().height() * tpp),
                             to_int(m_tb->sizeHint().height() * tpp),
                             to_int(m_xferinfo->sizeHint().height() * tpp));
    resize(to_int(design_width / tpp), to_int(design_height / tpp));
    arrange_controls();
    m_Timer1->start();
}

Form1::~Form1() = default;

double Form1::twips_per_pixel() const {
    return orvix::twips_per_pixel(logicalDpiX());
}

// --- Building the controls ----------------------------------------------------------------

void Form1::load_images() {
    for (const char* key : image_keys)
        m_images[key] = QIcon(QStringLiteral(":/icons/%1.svg").arg(QLatin1String(key)));
    m_images["tray"] = QIcon(QStringLiteral(":/icons/tray.svg"));
    setWindowIcon(m_images["tray"]);
}

const QIcon& Form1::image(const char* key) const {
    return m_images.at(key);
}

void Form1::create_controls() {
    m_tabstrip = named(new QTabWidget(this), "tabstrip");
    const std::array<const char*, 3> tab_keys = {"transfer", "setup", "info"};
    for (const char* key : tab_keys) {
        const int index = m_tabstrip->addTab(new QWidget(m_tabstrip), QString());
        m_tabstrip->tabBar()->setTabData(index, QString::fromLatin1(key));
    }
    create_transfer_page();
    create_setup_page();
    create_info_page();

    m_StatusBar1 = named(new QStatusBar(this), "StatusBar1");
    m_pbar = named(new Vumbar(this), "pbar");
    m_pbar->setCaption(QStringLiteral("{value}/{max}"));
    m_pbar->setBackColor_Relief(false);
    m_pbar->hide();
    // Beside and under the bar during a transfer: the stop button and the speed line.
    m_cancelxfer = named(new QPushButton(this), "cancelxfer");
    m_cancelxfer->hide();
    m_xferinfo = plain_label(this, "xferinfo");
    m_xferinfo->hide();

    m_Timer1 = named(new QTimer(this), "Timer1");
    m_Timer1->setInterval(camera_watch_ms);

    m_Image1 = named(new QLabel(this), "Image1");
    m_Image1->setPixmap(image("tray").pixmap(32, 32));
    m_Image1->hide();
}

void Form1::create_transfer_page() {
    m_frame_transfert = named(new QFrame(this), "frame_transfert");
    m_Frame1 = named(new QGroupBox(m_frame_transfert), "Frame1");
    m_chemin = named(new QLineEdit(m_Frame1), "chemin");
    m_Command2 = named(new QPushButton(m_Frame1), "Command2");
    m_Command3 = named(new QPushButton(m_Frame1), "Command3");
    m_statussrc = named(new ClickableLabel(m_Frame1), "statussrc");
    style_folder_frame(m_Command2, m_Command3, m_statussrc);
    m_statussrc->setCursor(Qt::PointingHandCursor);

    m_Frame2 = named(new QGroupBox(m_frame_transfert), "Frame2");
    m_destin = named(new QLineEdit(m_Frame2), "destin");
    m_dest = named(new QPushButton(m_Frame2), "dest");
    m_Command4 = named(new QPushButton(m_Frame2), "Command4");
    m_freedest = named(new QLabel(m_Frame2), "freedest");
    style_folder_frame(m_dest, m_Command4, m_freedest);

    m_xfer = named(new QPushButton(m_frame_transfert), "xfer");
    m_xfer->setIcon(image("import2"));
    m_vsplit = named(new SplitterBar(m_frame_transfert), "vsplit");
    create_toolbar();
    create_grid();
}

void Form1::style_folder_frame(QPushButton* browse, QPushButton* open, QLabel* status) {
    browse->setIcon(image("open"));
    open->setIcon(image("inet"));
    status->setTextFormat(Qt::PlainText);
    status->setWordWrap(true);
    status->setAlignment(Qt::AlignLeft | Qt::AlignTop);
}

void Form1::create_setup_page() {
    m_frame_setup = named(new QFrame(this), "frame_setup");
    QWidget* page = m_frame_setup;
    m_none = named(new QRadioButton(page), "none");
    m_cre = named(new QRadioButton(page), "cre");
    m_modific = named(new QRadioButton(page), "modific");
    m_otherrename = named(new QRadioButton(page), "otherrename");
    m_renpattern = named(new QLineEdit(page), "renpattern");
    m_otherrenameinfo = plain_label(page, "otherrenameinfo");
    m_otherrenameinfo->setWordWrap(true);
    m_subdir = named(new QCheckBox(page), "subdir");
    m_delete = named(new QCheckBox(page), "delete");
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
    for (QWidget* widget : std::initializer_list<QWidget*>{m_none, m_cre, m_modific, m_otherrename,
                                                           m_renpattern, m_otherrenameinfo})
        naming->addWidget(widget);
    naming->addSpacing(12);
    naming->addWidget(m_subdir);
    naming->addWidget(m_delete);
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
}

void Form1::create_info_page() {
    m_frame_infos = named(new QFrame(this), "frame_infos");
    m_infobox = named(new QPlainTextEdit(m_frame_infos), "infobox");
    m_infobox->setReadOnly(true);
}

void Form1::connect_handlers() {
    connect(m_tabstrip, &QTabWidget::currentChanged, this, &Form1::tabstrip_Click);
    connect(m_statussrc, &ClickableLabel::clicked, this, &Form1::statussrc_Click);
    connect(m_Command2, &QPushButton::clicked, this, &Form1::Command2_Click);
    connect(m_Command3, &QPushButton::clicked, this, &Form1::Command3_Click);
    connect(m_dest, &QPushButton::clicked, this, &Form1::dest_Click);
    connect(m_Command4, &QPushButton::clicked, this, &Form1::Command4_Click);
    connect(m_none, &QRadioButton::clicked, this, &Form1::none_Click);
    connect(m_cre, &QRadioButton::clicked, this, &Form1::cre_Click);
    connect(m_modific, &QRadioButton::clicked, this, &Form1::modific_Click);
    connect(m_otherrename, &QRadioButton::clicked, this, &Form1::otherrename_Click);
    connect(m_showthumbs, &QCheckBox::clicked, this, &Form1::showthumbs_Click);
    connect(m_formatchoice, &QComboBox::activated, this, &Form1::formatchoice_Click);
    connect(m_lng, &QComboBox::activated, this, &Form1::lng_Click);
    connect(m_xfer, &QPushButton::clicked, this, &Form1::xfer_Click);
    connect(m_cancelxfer, &QPushButton::clicked, this, &Form1::cancelxfer_Click);
    connect(m_vsplit, &SplitterBar::EndMoving, this, &Form1::vsplit_EndMoving);
    connect(m_Timer1, &QTimer::timeout, this, &Form1::Timer1_Timer);
    connect(m_tray.get(), &TrayIcon::clicked, this, &Form1::trayicon_Click);
    connect_grid_handlers();
    connect_edit_handlers();
}

// --- Loading, arranging and closing --------------------------------------------------------

void Form1::Form_Load() {
    // The information text is optional: without it the page stays empty, without a box.
    const std::string infos = m_state.locations.data_folder + "infos.txt";
    if (file_exists(infos))
        m_infobox->setPlainText(qt(read_text_file(infos, true)));

    const std::string& prefs = m_state.prefs_text;
    m_chemin->setText(qt(get_key_value("SOURCE_PATH", prefs)));
    m_destin->setText(qt(get_key_value("DEST_PATH", prefs)));
    const std::optional<NamingMode> naming =
        naming_mode_of_word(get_key_value("RENAME_WITH", prefs));
    set_option(*m_cre, naming == NamingMode::CreationDate);
    set_option(*m_modific, naming == NamingMode::ModificationDate);
    set_option(*m_otherrename, naming == NamingMode::Pattern);
    m_renpattern->setText(qt(get_key_value("RENAME_PATTERN", prefs)));
    set_option(*m_none, naming == NamingMode::Keep);
    m_subdir->setChecked(checked_pref(prefs, "CREATE_SUBDIR"));
    m_delete->setChecked(checked_pref(prefs, "DELETE_ORIGINAL"));
    m_showthumbs->setChecked(checked_pref(prefs, "SHOW_THUMBS"));
    m_asleep->setChecked(checked_pref(prefs, "OPEN_ASLEEP"));

    updatecombos();

    // The pages take the button-face colour, whatever the designer used to tell them apart.
    for (QFrame* page : {m_frame_transfert, m_frame_infos, m_frame_setup}) {
        QPalette palette = page->palette();
        palette.setColor(QPalette::Window, palette.color(QPalette::Button));
        page->setPalette(palette);
        page->setAutoFillBackground(true);
    }

    m_tabstrip->setTabIcon(0, image("import2"));
    m_tabstrip->setTabIcon(1, image("setup"));
    m_tabstrip->setTabIcon(2, image("lang"));
    m_tb_buttons[0]->setIcon(image("refresh2"));
    m_tb_buttons[1]->setIcon(image("sel"));
    m_tb_buttons[2]->setIcon(image("ajust"));
    m_tb_buttons[4]->setIcon(image("cross"));
    m_tb_buttons[6]->setIcon(image("mail"));

    // Cells fitted to the grid, but never smaller than 1300 twips.
    m_tex->setThumbnailsSize(-1300);
    enable_toolbar();
    fill_language_list();
    traduce();

    m_quality->setText(
        QString::number(jpeg_quality_of(numeric_value(get_key_value("QUALITYFACTOR", prefs)))));
}

void Form1::fill_language_list() {
    m_lng->clear();
    for (const std::string& name : m_state.language_names)
        m_lng->addItem(qt(name));
    m_lng->setCurrentIndex(-1);
}

void Form1::updatetabs() {
    m_frame_infos->hide();
    m_frame_setup->hide();
    m_frame_transfert->hide();
    const QString key = m_tabstrip->tabBar()->tabData(m_tabstrip->currentIndex()).toString();
    if (key == QLatin1String("transfer"))
        m_frame_transfert->show();
    else if (key == QLatin1String("setup"))
        m_frame_setup->show();
    else if (key == QLatin1String("info"))
        m_frame_infos->show();
    // The toolbar and the splitter serve only the grid, so they come and go with it.
    const bool thumbs = m_showthumbs->isChecked();
    m_tex->setVisible(thumbs);
    m_tb->setVisible(thumbs);
    m_vsplit->setVisible(thumbs);
}

void Form1::enable_toolbar() {
    const ToolbarState state = toolbar_state(m_tex->model().selected_items());
    for (int button : {0, 2, 4, 6})
        m_tb_buttons[button]->setEnabled(state.many);
    m_tb_buttons[1]->setEnabled(state.crop);
}

void Form1::arrange_controls() {
    // A minimised window keeps its size here, so the state tells what a zero inner
    // height told on the old desktop.
    if (isMinimized())
        go_asleep();
    const double tpp = twips_per_pixel();
    auto needed = [tpp](const QPushButton* a, const QPushButton* b) {
        return to_int(std::max(a->sizeHint().width(), b->sizeHint().width()) * tpp);
    };
    m_layout.captions = {needed(m_Command2, m_dest), needed(m_Command3, m_Command4),
                         needed(m_xfer, m_xfer), needed(m_cancelxfer, m_cancelxfer)};
    arrange_layout(m_layout, to_int(width() * tpp), to_int(height() * tpp),
                   m_showthumbs->isChecked());
    apply_layout();
}

void Form1::apply_layout() {
    const double tpp = twips_per_pixel();
    auto place = [tpp](QWidget* widget, const Rect& box) {
        widget->setGeometry(to_pixels(box.left, tpp), to_pixels(box.top, tpp),
                            to_pixels(box.width(), tpp), to_pixels(box.height(), tpp));
    };
    const MainLayout& l = m_layout;
    place(m_StatusBar1, l.status_bar);
    place(m_tabstrip, l.tabstrip);
    for (QFrame* page : {m_frame_transfert, m_frame_setup, m_frame_infos})
        place(page, l.page);
    place(m_pbar, l.pbar);
    place(m_cancelxfer, l.cancelxfer);
    place(m_xferinfo, l.xferinfo);
    place(m_vsplit, l.vsplit);
    place(m_tb, l.tb);
    place(m_tex, l.tex);
    place(m_Frame1, l.frame1);
    place(m_Frame2, l.frame2);
    place(m_xfer, l.xfer);
    place(m_infobox, l.infobox);
    place(m_chemin, l.folder_box);
    place(m_destin, l.folder_box);
    place(m_Command2, l.browse_button);
    place(m_dest, l.browse_button);
    place(m_Command3, l.open_button);
    place(m_Command4, l.open_button);
    place(m_statussrc, l.status_label);
    place(m_freedest, l.status_label);
    for (QWidget* widget : std::initializer_list<QWidget*>{m_pbar, m_cancelxfer, m_xferinfo})
        widget->raise();
}

void Form1::Form_Resize() {
    arrange_controls();
}

void Form1::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    Form_Resize();
}

void Form1::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange)
        Form_Resize();
}

void Form1::closeEvent(QCloseEvent* event) {
    // A transfer or a long edit is asked to stop after the picture in hand; the window
    // closes once it has ended, so nothing is cleared or saved under it.
    if (transfer_running() || m_grid_commands->running()) {
        m_close_when_stopped = true;
        cancelxfer_Click();
        m_grid_commands->stop();
        event->ignore();
        return;
    }
    if (!m_unloaded) {
        m_unloaded = true;
        Form_QueryUnload();
        Form_Unload();
    }
    event->accept();
}

void Form1::Form_QueryUnload() {
    remove_tray_icon();
}

void Form1::Form_Unload() {
    if (folder_exists(m_state.thumbs_dir))
        clear_folder(m_state.thumbs_dir, true, true);
    save_prefs(m_state.locations, m_state.prefs_text, current_prefs());
}

NamingMode Form1::naming_mode() const {
    return m_cre->isChecked()           ? NamingMode::CreationDate
           : m_modific->isChecked()     ? NamingMode::ModificationDate
           : m_otherrename->isChecked() ? NamingMode::Pattern
                                        : NamingMode::Keep;
}

MainWindowPrefs Form1::current_prefs() const {
    MainWindowPrefs values;
    values.rename_pattern = from_qt(m_renpattern->text());
    values.quality = from_qt(m_quality->text());
    values.rename_with = std::string(rename_with_word(naming_mode()));
    values.source_path = path_of(*m_chemin);
    values.dest_path = path_of(*m_destin);
    values.create_subdir = check_value(*m_subdir);
    values.delete_original = check_value(*m_delete);
    values.show_thumbs = check_value(*m_showthumbs);
    values.open_asleep = check_value(*m_asleep);
    return values;
}

bool Form1::starts_asleep() const {
    return m_asleep->isChecked();
}

// --- Texts -------------------------------------------------------------------------------

std::string Form1::text_of(const char* key) const {
    return m_state.language.translate(key);
}

QString Form1::qtext_of(const char* key) const {
    return qt(text_of(key));
}

void Form1::traduce() {
    // The standard buttons of every box speak the window's language too.
    m_qt_translation->use(text_of("qt_translation"));
    m_lnglabel->setText(qtext_of("language"));
    m_tabstrip->setTabText(0, qtext_of("tab_imagetransfer"));
    m_tabstrip->setTabText(1, qtext_of("tab_setup"));
    m_tabstrip->setTabText(2, qtext_of("tab_info"));
    m_Frame1->setTitle(qtext_of("generic_source"));
    m_Frame2->setTitle(qtext_of("generic_destination"));
    m_Command2->setText(qtext_of("browse"));
    m_dest->setText(qtext_of("browse"));
    m_Command3->setText(qtext_of("explore"));
    m_Command4->setText(qtext_of("explore"));
    m_xfer->setText(qtext_of("btn_transfer"));
    m_cancelxfer->setText(qtext_of("btn_cancelxfer"));
    m_none->setText(qtext_of("copy_nochange"));
    m_cre->setText(qtext_of("copy_creationdate"));
    m_modific->setText(qtext_of("copy_modificationdate"));
    m_otherrename->setText(qtext_of("copy_otherrename"));
    // The one text whose "<BR>" becomes a line break.
    m_otherrenameinfo->setText(qt(Remplacer("<BR>", CRLF, text_of("otherrename_info"))));
    m_subdir->setText(qtext_of("create_subdirs"));
    m_delete->setText(qtext_of("delete_originals"));
    m_asleep->setText(qtext_of("start_aspleep"));
    m_showthumbs->setText(qtext_of("show_thumbs"));
    m_fileformatlabel->setText(qtext_of("fileformat"));

    m_formatchoice->clear();
    for (const OutputFormat& format : output_formats)
        m_formatchoice->addItem(format.label.empty() ? qtext_of("noconversion")
                                                     : QString::fromLatin1(format.label));
    // A hand-edited index that names no entry leaves the list without a selection.
    m_formatchoice->setCurrentIndex(
        format_index_of(numeric_value(get_key_value("FILECONVERSION", m_state.prefs_text))));
    m_qualitylabel->setText(qtext_of("qualitylabel"));

    traduce_toolbar();
}

// --- Source and destination --------------------------------------------------------------

void Form1::update() {
    Hourglass hourglass;
    const std::string source = path_of(*m_chemin);
    const std::string destination = path_of(*m_destin);

    int count = -1;
    if (folder_exists(source)) {
        set_text_colour(*m_statussrc, palette().color(QPalette::WindowText));
        std::vector<std::string> pictures;
        list_files(source, pictures, std::string(picture_filter), true);
        count = static_cast<int>(pictures.size());
        m_Command3->setEnabled(true);
    } else {
        set_text_colour(*m_statussrc, QColor(255, 0, 0));
        m_Command3->setEnabled(false);
    }
    m_statussrc->setText(qt(source_status(m_state.language, count)));
    show_card_offer(count >= 0);

    if ((!isVisible() || isMinimized()) && count > 0)
        wake_up();

    if (folder_exists(destination)) {
        m_freedest->setText(
            qt(destination_status(m_state.language, free_space(destination),
                                  sampled_average_size(destination), QLocale::system())));
        m_Command4->setEnabled(true);
    } else {
        m_freedest->setText(QString());
        m_Command4->setEnabled(false);
    }
}

void Form1::Command2_Click() {
    const std::string folder = m_desktop.browse_for_folder(this, text_of("select_sourcedir"));
    if (folder.empty())
        return;
    m_chemin->setText(qt(folder));
    update();
}

void Form1::dest_Click() {
    const std::string folder = m_desktop.browse_for_folder(this, text_of("select_destdir"));
    if (folder.empty())
        return;
    m_destin->setText(qt(folder));
    update();
}

void Form1::Command3_Click() {
    m_desktop.open_with_shell(this, path_of(*m_chemin));
}

void Form1::Command4_Click() {
    m_desktop.open_with_shell(this, path_of(*m_destin));
}

void Form1::updatecombos() {
    const std::string pattern = from_qt(m_renpattern->text());
    const bool other = m_otherrename->isChecked();
    m_subdir->setEnabled(naming_carries_date(naming_mode(), pattern));
    m_otherrenameinfo->setVisible(other);
    m_renpattern->setEnabled(other);
}

void Form1::none_Click() {
    updatecombos();
}

void Form1::cre_Click() {
    updatecombos();
}

void Form1::modific_Click() {
    updatecombos();
}

void Form1::otherrename_Click() {
    updatecombos();
}

void Form1::tabstrip_Click() {
    updatetabs();
}

void Form1::showthumbs_Click() {
    updatetabs();
    Form_Resize();
}

void Form1::vsplit_EndMoving() {
    m_layout.vsplit.move_to(to_twips(m_vsplit->x(), twips_per_pixel()), m_layout.vsplit.top);
    arrange_controls();
}

void Form1::formatchoice_Click() {
    set_key_value("FILECONVERSION", m_state.prefs_text,
                  std::to_string(m_formatchoice->currentIndex()));
}

void Form1::lng_Click() {
    set_key_value("CURRENT_LANGUAGE", m_state.prefs_text, from_qt(m_lng->currentText()) + ".lng");
    m_state.language_names = load_language(m_state.locations, m_state.prefs_text, m_state.language);
    fill_language_list();
    traduce();
    arrange_controls();
    update();
}

// --- Notification area and camera watch --------------------------------------------------

void Form1::go_asleep() {
    if (m_tray_flag)
        return;
    m_tray_flag = true;
    m_tray->add(image("tray"), QString::fromLatin1(tray_tip));
    // Without a notification area a hidden window could never be reached again: it is
    // minimised instead, and the camera watch brings it back as usual.
    if (m_tray->available())
        hide();
    else if (!isMinimized())
        showMinimized();
}

void Form1::remove_tray_icon() {
    if (!m_tray_flag)
        return;
    m_tray->remove();
    m_tray_flag = false;
}

void Form1::wake_up() {
    setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
}

void Form1::trayicon_Click() {
    wake_up();
}

void Form1::Timer1_Timer() {
    m_drive_list = list_drives(true, true);
    watch_cards();
    if (!m_drive_list.empty())
        update();
}

} // namespace orvix
