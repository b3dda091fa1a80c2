#include "app/form1.h"

#include "app/card_watch_panel.h"
#include "app/grid_commands.h"
#include "app/grid_view.h"
#include "app/setup_page.h"
#include "app/toolbar_state.h"
#include "app/transfer_panel.h"
#include "app/tray_sleep.h"
#include "app/widgets.h"
#include "controls/thumbgrid/glimra.h"
#include "fs/fs.h"
#include "platform/dialogs.h"
#include "platform/qt/qt_translation.h"
#include "platform/qt/text_codec.h"
#include "platform/qt/tray.h"
#include "platform/qt/widget_helpers.h"
#include "text/text.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>
#include <QToolBar>

namespace orvix {

namespace {

using widgets::named;
using widgets::qt;

constexpr std::array<const char*, 12> image_keys = {"import2",  "setup", "setup2", "lang",
                                                    "refresh2", "sel",   "ajust",  "cross",
                                                    "mail",     "open",  "inet",   "undo"};

} // namespace

Form1::Form1(ProgramState state, std::unique_ptr<TrayIcon> tray, Desktop& desktop, QWidget* parent)
    : QWidget(parent), m_state(std::move(state)), m_desktop(desktop),
      m_qt_translation(std::make_unique<QtTranslation>()) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QString::fromLatin1(application_title));
    load_images();
    m_sleep = std::make_unique<TraySleep>(*this, std::move(tray), image("tray"));
    create_controls();
    link_parts();
    connect_handlers();
    Form_Load();
    const double tpp = twips_per_pixel();
    m_layout = design_layout(to_int(m_StatusBar1->sizeHint().height() * tpp),
                             to_int(m_tb->sizeHint().height() * tpp),
                             m_transfer->info_line_height(tpp), m_grid_view->row_height(tpp));
    place_window();
    arrange_controls();
    m_card_watch->start();
}

Form1::~Form1() = default;

double Form1::twips_per_pixel() const {
    return orvix::twips_per_pixel(logicalDpiX());
}

// --- Building the controls and wiring the parts -------------------------------------------

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
    m_setup =
        std::make_unique<SetupPage>(*this, SetupShared{m_state.locations, m_state.prefs_text,
                                                       m_state.language, m_state.language_names});
    m_quality = &m_setup->quality_box();
    create_info_page();

    m_StatusBar1 = named(new QStatusBar(this), "StatusBar1");
    m_card_watch = std::make_unique<CardWatchPanel>(*this, m_state.system_tables);

    m_Image1 = named(new QLabel(this), "Image1");
    m_Image1->setPixmap(image("tray").pixmap(32, 32));
    m_Image1->hide();
}

void Form1::create_transfer_page() {
    m_frame_transfert = named(new QFrame(this), "frame_transfert");
    m_transfer = std::make_unique<TransferPanel>(
        *m_frame_transfert, *this,
        TransferShared{m_desktop, m_state.language, m_state.system_tables, m_state.thumbs_dir},
        TransferIcons{image("open"), image("inet"), image("import2")});
    m_vsplit = named(new SplitterBar(m_frame_transfert), "vsplit");
    create_toolbar();
    create_grid();
    m_grid_view = std::make_unique<GridView>(*m_frame_transfert, *m_tex, m_state.language,
                                             m_state.transferred_pictures);
}

void Form1::create_info_page() {
    m_frame_infos = named(new QFrame(this), "frame_infos");
    m_infobox = named(new QPlainTextEdit(m_frame_infos), "infobox");
    m_infobox->setReadOnly(true);
}

void Form1::link_parts() {
    TransferLinks links;
    links.setup_options = [this] { return m_setup->transfer_options(); };
    links.quality = &m_setup->quality_box();
    links.held = {&m_setup->page(), m_tex};
    links.before_run = [this] {
        // The grid lets go of the last run's pictures at once: they are no longer the list.
        m_state.transferred_pictures.clear();
        m_grid_view->forget_pictures();
        fill_thumbnail_grid();
        // The commands are held through their buttons: a toolbar disabled and enabled again
        // gives its menu buttons back enabled, whatever the selection says. The camera
        // watch waits too: its ticks would list the card under the copy.
        for (QAction* button : m_tb_buttons)
            button->setEnabled(false);
        // The last command's pictures are no longer the list: nothing to take back.
        m_grid_commands->forget_undo();
        m_tb_undo->setEnabled(false);
        m_card_watch->stop();
    };
    links.pictures_ready = [this](const std::vector<TransferredPicture>& pictures) {
        m_state.transferred_pictures = pictures;
        fill_thumbnail_grid();
        std::vector<std::string> files;
        files.reserve(pictures.size());
        for (const TransferredPicture& picture : pictures)
            files.push_back(picture.picture_path);
        m_cache_filler.add(files);
    };
    links.after_run = [this] { enable_toolbar(); };
    links.resume_watch = [this] { m_card_watch->start(); };
    links.wake = [this] { m_sleep->wake_if_hidden(); };
    m_transfer->link(std::move(links));

    m_setup->on_language_changed = [this] {
        traduce();
        arrange_controls();
        update();
    };
    m_card_watch->on_look = [this](const std::vector<Volume>& mounted,
                                   const std::vector<Volume>& new_cards) {
        m_transfer->cards_looked(mounted, new_cards);
    };
    m_card_watch->on_drives = [this] { update(); };
}

void Form1::connect_handlers() {
    connect(m_tabstrip, &QTabWidget::currentChanged, this, &Form1::tabstrip_Click);
    connect(&m_transfer->source_status_label(), &ClickableLabel::clicked, this,
            &Form1::statussrc_Click);
    connect(&m_transfer->browse_source_button(), &QPushButton::clicked, this,
            &Form1::Command2_Click);
    connect(&m_transfer->open_source_button(), &QPushButton::clicked, this, &Form1::Command3_Click);
    connect(&m_transfer->browse_destination_button(), &QPushButton::clicked, this,
            &Form1::dest_Click);
    connect(&m_transfer->open_destination_button(), &QPushButton::clicked, this,
            &Form1::Command4_Click);
    connect(&m_setup->option_none(), &QRadioButton::clicked, this, &Form1::none_Click);
    connect(&m_setup->option_creation(), &QRadioButton::clicked, this, &Form1::cre_Click);
    connect(&m_setup->option_modification(), &QRadioButton::clicked, this, &Form1::modific_Click);
    connect(&m_setup->option_pattern(), &QRadioButton::clicked, this, &Form1::otherrename_Click);
    connect(&m_setup->show_thumbs_box(), &QCheckBox::clicked, this, &Form1::showthumbs_Click);
    connect(&m_setup->format_list(), &QComboBox::activated, this, &Form1::formatchoice_Click);
    connect(&m_setup->language_list(), &QComboBox::activated, this, &Form1::lng_Click);
    connect(&m_transfer->transfer_button(), &QPushButton::clicked, this, &Form1::xfer_Click);
    connect(&m_transfer->stop_button(), &QPushButton::clicked, this, &Form1::cancelxfer_Click);
    connect(m_vsplit, &SplitterBar::EndMoving, this, &Form1::vsplit_EndMoving);
    connect(&m_card_watch->timer(), &QTimer::timeout, this, &Form1::Timer1_Timer);
    connect(&m_sleep->tray(), &TrayIcon::clicked, this, &Form1::trayicon_Click);
    connect_grid_handlers();
    connect_edit_handlers();
}

// --- Loading, arranging and closing --------------------------------------------------------

void Form1::Form_Load() {
    m_transfer->load(m_state.prefs_text);
    m_setup->load();

    // The pages take the button-face colour, whatever the designer used to tell them apart.
    for (QFrame* page : {m_frame_transfert, m_frame_infos, &m_setup->page()}) {
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
    m_tb_undo->setIcon(QIcon::fromTheme(QStringLiteral("edit-undo"), image("undo")));

    // Cells fitted to the grid, but never smaller than 1300 twips.
    m_tex->setThumbnailsSize(-1300);
    m_grid_view->load(m_state.prefs_text);
    enable_toolbar();
    traduce();
}

void Form1::updatetabs() {
    m_frame_infos->hide();
    m_setup->page().hide();
    m_frame_transfert->hide();
    const QString key = m_tabstrip->tabBar()->tabData(m_tabstrip->currentIndex()).toString();
    if (key == QLatin1String("transfer"))
        m_frame_transfert->show();
    else if (key == QLatin1String("setup"))
        m_setup->page().show();
    else if (key == QLatin1String("info"))
        m_frame_infos->show();
    // The toolbar and the splitter serve only the grid, so they come and go with it.
    const bool thumbs = m_setup->show_thumbs();
    m_tex->setVisible(thumbs);
    m_tb->setVisible(thumbs);
    m_vsplit->setVisible(thumbs);
    m_grid_view->set_visible(thumbs);
}

void Form1::enable_toolbar() {
    const ToolbarState state =
        toolbar_state(m_tex->model().selected_items(), m_grid_commands->undo_available());
    for (int button : {0, 2, 4, 6})
        m_tb_buttons[button]->setEnabled(state.many);
    m_tb_buttons[1]->setEnabled(state.crop);
    m_tb_undo->setEnabled(state.undo);
}

void Form1::arrange_controls() {
    // A minimised window keeps its size here, so the state tells what a zero inner
    // height told on the old desktop.
    if (isMinimized())
        go_asleep();
    const double tpp = twips_per_pixel();
    m_layout.captions = m_transfer->caption_widths(tpp);
    m_layout.captions.sortorder = m_grid_view->sortorder_width(tpp);
    arrange_layout(m_layout, to_int(width() * tpp), to_int(height() * tpp), m_setup->show_thumbs());
    apply_layout();
}

void Form1::apply_layout() {
    const double tpp = twips_per_pixel();
    auto place = [tpp](QWidget* widget, const Rect& box) { place_widget(*widget, box, tpp); };
    const MainLayout& l = m_layout;
    place(m_StatusBar1, l.status_bar);
    place(m_tabstrip, l.tabstrip);
    for (QFrame* page : {m_frame_transfert, &m_setup->page(), m_frame_infos})
        place(page, l.page);
    place(m_vsplit, l.vsplit);
    place(m_tb, l.tb);
    place(m_tex, l.tex);
    m_grid_view->place(l, tpp);
    place(m_infobox, l.infobox);
    m_transfer->place(l, tpp);
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
    if (transfer_running()) {
        m_transfer->stop_and_close();
        event->ignore();
        return;
    }
    if (m_grid_commands->running()) {
        m_close_when_commands_end = true;
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
    // The files kept for undo lie in the thumbnail folder, which goes now.
    m_grid_commands->forget_undo();
    if (folder_exists(m_state.thumbs_dir))
        clear_folder(m_state.thumbs_dir, true, true);
    MainWindowPrefs prefs = m_setup->current_prefs();
    prefs.source_path = m_transfer->source_path();
    prefs.dest_path = m_transfer->destination_path();
    m_grid_view->save(m_state.prefs_text, prefs);
    m_transfer->save(m_state.prefs_text);
    keep_placement();
    save_prefs(m_state.locations, m_state.prefs_text, prefs);
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
    m_tabstrip->setTabText(0, qtext_of("tab_imagetransfer"));
    m_tabstrip->setTabText(1, qtext_of("tab_setup"));
    m_tabstrip->setTabText(2, qtext_of("tab_info"));
    // The information text is optional: without it the page stays empty, without a box.
    const std::string infos = info_file_path(m_state.locations, m_state.language);
    m_infobox->setPlainText(infos.empty() ? QString() : qt(read_text_file(infos, true)));
    m_sleep->set_tip(qtext_of("tray_tip"));
    m_transfer->traduce();
    m_setup->traduce();
    traduce_toolbar();
    m_grid_view->traduce();
}

// --- The window's own handlers -------------------------------------------------------------

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

// --- Handlers handed to the parts ----------------------------------------------------------

void Form1::update() {
    m_transfer->update_status();
}

void Form1::type_source(const std::string& folder) {
    m_transfer->type_source(folder);
}

void Form1::statussrc_Click() {
    m_transfer->use_offered_card();
}

void Form1::Command2_Click() {
    m_transfer->browse_source();
}

void Form1::Command3_Click() {
    m_transfer->open_source();
}

void Form1::dest_Click() {
    m_transfer->browse_destination();
}

void Form1::Command4_Click() {
    m_transfer->open_destination();
}

void Form1::xfer_Click() {
    m_transfer->start();
}

void Form1::cancelxfer_Click() {
    m_transfer->stop();
}

bool Form1::transfer_running() const {
    return m_transfer->running();
}

void Form1::updatecombos() {
    m_setup->updatecombos();
}

void Form1::none_Click() {
    m_setup->updatecombos();
}

void Form1::cre_Click() {
    m_setup->updatecombos();
}

void Form1::modific_Click() {
    m_setup->updatecombos();
}

void Form1::otherrename_Click() {
    m_setup->updatecombos();
}

void Form1::formatchoice_Click() {
    m_setup->store_format();
}

void Form1::lng_Click() {
    m_setup->choose_language();
}

bool Form1::starts_asleep() const {
    return m_setup->starts_asleep();
}

void Form1::Timer1_Timer() {
    m_card_watch->tick();
}

const std::string& Form1::drive_list() const {
    return m_card_watch->drive_list();
}

void Form1::go_asleep() {
    m_sleep->go_asleep();
}

void Form1::remove_tray_icon() {
    m_sleep->remove_icon();
}

void Form1::trayicon_Click() {
    m_sleep->wake_up();
}

bool Form1::tray_flag() const {
    return m_sleep->icon_shown();
}

} // namespace orvix
