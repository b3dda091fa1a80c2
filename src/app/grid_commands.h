// The toolbar's commands on the main window's grid. A command on one picture runs in line
// under the hourglass; a command on more than one has its pictures worked on by the job
// runner, as the transfer is: the window keeps painting, the bar counts the pictures, the
// Stop button ends the command after the picture in hand, and the controls that could
// change the pictures under it wait for its end. Questions come before the work starts;
// the grid is refilled and the selection restored on the window's thread at the end.
#pragma once

#include "editing/edit_commands.h"

#include <QMetaObject>

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QAction;
class QLineEdit;
class QPushButton;
class QWidget;

namespace orvix {

class Glimra;
class JobRunner;
class Trash;
class Vumbar;
struct ProgramState;

struct MenuEntry {
    const char* key;
    const char* text_key; // rotate menu: the language key; size menu: the size
};

inline constexpr std::array<MenuEntry, 5> rotate_entries = {{{"qvd", "tb_rotate90CW"},
                                                             {"cqv", "tb_rotate180CW"},
                                                             {"dcsd", "tb_rotate270CW"},
                                                             {"fliph", "tb_fliph"},
                                                             {"flipv", "tb_flipv"}}};
inline constexpr std::array<MenuEntry, 6> size_entries = {{{"qcqv", "480"},
                                                           {"scq", "640"},
                                                           {"hc", "800"},
                                                           {"mvq", "1024"},
                                                           {"mdcqv", "1280"},
                                                           {"dmqh", "2048"}}};

class GridCommands {
public:
    // The window's controls the commands read, drive or hold.
    struct Controls {
        QWidget& window; // the crop window's parent
        Glimra& grid;    // tex
        QLineEdit& quality;
        Vumbar& bar;                   // pbar
        QPushButton& stop;             // cancelxfer
        std::vector<QWidget*> held;    // wait for the end of a long command
        std::vector<QAction*> buttons; // the toolbar's, disabled meanwhile
    };
    // send_mail: the mail button. ended: after every command, once the window has its
    // controls back (the toolbar follows the selection there).
    // trash: where a delete puts the pictures whose volume has one.
    GridCommands(ProgramState& state, Controls controls, Trash& trash,
                 std::function<void()> send_mail, std::function<void()> ended);
    ~GridCommands();
    GridCommands(const GridCommands&) = delete;
    GridCommands& operator=(const GridCommands&) = delete;

    // A button of the toolbar, by its key (rotate, crop, redim, delete, email).
    void button_clicked(const std::string& key);
    // An entry of the rotate or the size menu, by its key.
    void menu_clicked(const std::string& key);
    // Takes back the last command that changed pictures (the undo button, Ctrl+Z).
    void undo_Click();
    // Whether there is a command to take back now.
    bool undo_available() const;
    // Lets go of the files kept for undo: the pictures they belong to are no longer shown.
    void forget_undo();

    // True from the start of a long command until the window got its controls back.
    bool running() const;
    // Asks a long command to end after the picture in hand.
    void stop();

    void fill_thumbnail_grid();
    // The picture behind grid item `item`; "" when none is known for it.
    std::string find_picture_of_item(int item);

private:
    struct Running;

    EditContext context();
    // In line for one picture, on the runner for more.
    void run(std::optional<EditBatch> batch);
    void end_job(bool failed, const std::string& error);
    std::optional<Rect> show_crop_window(const std::string& picture);

    ProgramState& m_state;
    Controls m_controls;
    Trash& m_trash;
    // Its folders lie in the thumbnail folder and go before it does.
    UndoHistory m_undo;
    std::function<void()> m_send_mail;
    std::function<void()> m_ended;
    std::unique_ptr<ThumbnailGrid> m_grid;
    QMetaObject::Connection m_stop_click;
    std::unique_ptr<Running> m_running;
    // Last, so that it goes first: its job has stopped before what the job uses goes.
    std::unique_ptr<JobRunner> m_runner;
};

} // namespace orvix
