// The main window: the transfer, setup and information pages, the source and destination
// status, the camera watch and the notification-area sleep. Event handlers keep the
// names control + "_" + event so they read like the controls they serve; the window
// builds its parts and wires them together, and each handler hands its event to the part
// that owns it.
#pragma once

#include "app/layout.h"
#include "editing/edit_commands.h"
#include "fs/fs.h"
#include "session/cache_filler.h"
#include "settings/language.h"
#include "settings/locations.h"
#include "settings/prefs.h"
#include "transfer/transfer.h"

#include <QIcon>
#include <QWidget>

#include <array>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QAction;
class QFrame;
class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QStatusBar;
class QTabWidget;
class QToolBar;

namespace orvix {

class CardWatchPanel;
class Desktop;
class Glimra;
class GridCommands;
class GridView;
class GridMenu;
class QtTranslation;
class SetupPage;
class SplitterBar;
class TransferPanel;
class TrayIcon;
class TraySleep;

// What the program keeps for its whole run.
struct ProgramState {
    Locations locations;    // where the data and the preferences are
    std::string thumbs_dir; // with a trailing separator
    std::string prefs_text;
    LanguageTable language;
    std::vector<std::string> language_names; // the entries of the language list
    std::vector<TransferredPicture> transferred_pictures;
    SystemTables system_tables; // where the card watch reads the mounted volumes
    // The crop window's answer: "x1/y1/x2/y2" in picture pixels, empty while it is open or
    // when it was closed without accepting.
    std::string crop_result;
};

class Form1 : public QWidget {
    Q_OBJECT

public:
    // Builds every control and runs Form_Load. tray must not be null; desktop must outlive
    // the window.
    Form1(ProgramState state, std::unique_ptr<TrayIcon> tray, Desktop& desktop,
          QWidget* parent = nullptr);
    ~Form1() override;

    void updatetabs();
    // Refreshes the source and destination status and wakes the window when the source
    // holds pictures. (Hides QWidget::update, which this window never needs for painting.)
    void update();
    void updatecombos();
    void traduce();
    void go_asleep();
    void remove_tray_icon();
    // Puts the folder in the source box as if the user had typed it.
    void type_source(const std::string& folder);

    // Event handlers.
    void tabstrip_Click();
    void statussrc_Click();
    void Command2_Click();
    void Command3_Click();
    void dest_Click();
    void Command4_Click();
    void none_Click();
    void cre_Click();
    void modific_Click();
    void otherrename_Click();
    void showthumbs_Click();
    void formatchoice_Click();
    void lng_Click();
    void xfer_Click();
    void tb_email_Click();
    void cancelxfer_Click();
    void vsplit_EndMoving();
    void tb_ButtonClick(QAction* button);
    void tb_ButtonMenuClick(QAction* entry);
    void tb_undo_Click();
    void tex_DblClick(qint32& item);
    void tex_MouseUp(qint16 Button, qint16 Shift, float x, float y);
    void tex_GlimraDrawingEnd();
    void tex_SelectionChange();
    void Timer1_Timer();
    void trayicon_Click();

    // True from the click on xfer until the run has ended and the window got its controls back.
    bool transfer_running() const;
    bool tray_flag() const;
    // The asleep check box: Main puts the program to sleep instead of showing the window.
    bool starts_asleep() const;
    const ProgramState& state() const { return m_state; }
    // The drive list of the last camera-watch tick.
    const std::string& drive_list() const;
    // Twips per pixel of the screen the window is on, horizontally.
    double twips_per_pixel() const;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void create_controls();
    void create_transfer_page();
    void create_info_page();
    void connect_handlers();
    void link_parts();
    void load_images();

    void Form_Load();
    void Form_Resize();
    void Form_QueryUnload();
    void Form_Unload();
    void enable_toolbar();
    void arrange_controls();
    void apply_layout();

    // The window's place on the screen (placement_handlers.cpp).
    void place_window();
    void keep_placement();

    // The thumbnail grid (grid_handlers.cpp).
    void create_grid();
    void connect_grid_handlers();

    // The toolbar's commands (edit_handlers.cpp).
    void create_toolbar();
    void traduce_toolbar();
    void connect_edit_handlers();
    void fill_thumbnail_grid();
    // The picture behind grid item `item`; "" when none is known for it.
    std::string find_picture_of_item(int item);

    std::string text_of(const char* key) const;
    QString qtext_of(const char* key) const;
    const QIcon& image(const char* key) const;

    ProgramState m_state;
    Desktop& m_desktop;
    std::unique_ptr<QtTranslation> m_qt_translation;
    std::unique_ptr<GridCommands> m_grid_commands; // the toolbar's commands on tex
    std::unique_ptr<GridView> m_grid_view;         // the zoom and order under tex
    CacheFiller m_cache_filler; // the desktop's thumbnails of the last runs' pictures
    bool m_unloaded = false;
    bool m_close_when_commands_end = false; // a close waits for the long edit in hand
    std::map<std::string, QIcon> m_images;  // the image list, by key
    MainLayout m_layout;

    QTabWidget* m_tabstrip = nullptr;
    QFrame* m_frame_transfert = nullptr;
    SplitterBar* m_vsplit = nullptr;
    QToolBar* m_tb = nullptr;
    std::array<QAction*, 7> m_tb_buttons{}; // buttons 1 to 7; 4 and 6 are separators
    QAction* m_tb_undo = nullptr;           // after them
    QMenu* m_rotate_menu = nullptr;
    QMenu* m_resize_menu = nullptr;
    Glimra* m_tex = nullptr;
    GridMenu* m_grid_menu = nullptr; // the grid's keys and context menu, owned by the grid
    QLineEdit* m_quality = nullptr;  // the setup page's, which the resize commands read
    QFrame* m_frame_infos = nullptr;
    QPlainTextEdit* m_infobox = nullptr;
    QStatusBar* m_StatusBar1 = nullptr;
    QLabel* m_Image1 = nullptr;

    // The parts, each with its own controls and state. The transfer goes first when the
    // window does, so its run has stopped before what the run shows and fills goes.
    std::unique_ptr<TraySleep> m_sleep;
    std::unique_ptr<CardWatchPanel> m_card_watch;
    std::unique_ptr<SetupPage> m_setup;
    std::unique_ptr<TransferPanel> m_transfer;
};

} // namespace orvix
