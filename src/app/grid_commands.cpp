#include "app/grid_commands.h"

#include "app/form1.h"
#include "controls/progress/vumbar.h"
#include "controls/thumbgrid/glimra.h"
#include "editing/cropwindow.h"
#include "platform/dialogs.h"
#include "platform/qt/hourglass.h"
#include "platform/qt/text_codec.h"
#include "runner/job_runner.h"
#include "text/text.h"

#include <QAction>
#include <QLineEdit>
#include <QPushButton>

#include <algorithm>
#include <utility>

namespace orvix {

namespace {

// The grid's texts cross as the file system's bytes, as the grid itself takes them.
QString grid_text(const std::string& bytes) {
    return to_qt(bytes);
}

// The grid interface of the editing module over the grid on the window.
class GlimraGrid final : public ThumbnailGrid {
public:
    explicit GlimraGrid(Glimra& grid) : m_grid(grid) {}

    std::string filelist() const override { return m_grid.model().filelist(); }
    void set_filelist(const std::string& text) override { m_grid.setFilelist(grid_text(text)); }
    std::vector<int32_t> selected_items() const override { return m_grid.model().selected_items(); }
    void select_items(const std::vector<int32_t>& items) override {
        m_grid.setSelectedItems(QString::fromStdString(selected_items_text(items)));
    }
    void set_LockScreen(bool lock) override { m_grid.setLockScreen(lock); }
    std::string File_Titlestring(int32_t index) const override {
        return m_grid.model().File_Titlestring(index);
    }
    void set_File_Titlestring(int32_t index, const std::string& text) override {
        m_grid.setFile_Titlestring(index, grid_text(text));
    }
    void set_TitleText(const std::string& text) override { m_grid.setTitleText(grid_text(text)); }
    void refresh() override { m_grid.refresh(); }

private:
    Glimra& m_grid;
};

// The worker's side of a long command. After each picture the bar moves on the window's
// thread while the worker waits, so a Stop pressed by then ends the command right there:
// the pictures not begun are not touched.
class WindowBar final : public BatchSink {
public:
    WindowBar(JobContext& job, Vumbar& bar) : m_job(job), m_bar(bar) {}

    void file_done(size_t done, const FileOutcome&) override {
        m_job.on_window([this, done] { m_bar.setValue(static_cast<qint32>(done)); });
    }
    bool stop_requested() const override { return m_job.stop_requested(); }

private:
    JobContext& m_job;
    Vumbar& m_bar;
};

} // namespace

// What the window shows and holds while a long command runs: the bar counting pictures, the
// Stop button, the held controls (each gets its own state back), the busy pointer.
struct GridCommands::Running {
    Running(const Controls& controls, EditBatch work, const std::string& caption)
        : batch(std::move(work)), m_controls(controls) {
        for (QWidget* widget : controls.held) {
            m_held.emplace_back(widget, widget->isEnabled());
            widget->setEnabled(false);
        }
        // The buttons come back through the toolbar's state at the end: a toolbar
        // disabled and enabled again would give its menu buttons back enabled.
        for (QAction* button : controls.buttons)
            button->setEnabled(false);
        Vumbar& bar = controls.bar;
        bar.setMin(0);
        bar.setMax(static_cast<qint32>(batch.size()));
        bar.setValue(0);
        bar.setCaption(to_qt(caption));
        controls.stop.setEnabled(true);
        for (QWidget* widget : std::initializer_list<QWidget*>{&bar, &controls.stop}) {
            widget->setVisible(true);
            widget->raise();
        }
    }
    ~Running() {
        m_controls.bar.setVisible(false);
        m_controls.stop.setVisible(false);
        for (const auto& [widget, enabled] : m_held)
            widget->setEnabled(enabled);
    }
    Running(const Running&) = delete;
    Running& operator=(const Running&) = delete;

    EditBatch batch;

private:
    const Controls& m_controls;
    std::vector<std::pair<QWidget*, bool>> m_held;
    Hourglass m_busy{Pointer::Busy};
};

GridCommands::GridCommands(ProgramState& state, Controls controls, Trash& trash,
                           std::function<void()> send_mail, std::function<void()> ended)
    : m_state(state), m_controls(std::move(controls)), m_trash(trash), m_undo(state.thumbs_dir),
      m_send_mail(std::move(send_mail)), m_ended(std::move(ended)),
      m_grid(std::make_unique<GlimraGrid>(m_controls.grid)),
      m_runner(std::make_unique<JobRunner>()) {
    m_stop_click = QObject::connect(&m_controls.stop, &QPushButton::clicked, [this] { stop(); });
}

GridCommands::~GridCommands() {
    QObject::disconnect(m_stop_click);
    // The job stops before the bar and the records it reports to go.
    m_runner.reset();
}

EditContext GridCommands::context() {
    return EditContext{m_state.transferred_pictures,
                       m_state.thumbs_dir,
                       m_state.language,
                       dialogs(),
                       *m_grid,
                       [] { return std::shared_ptr<void>(std::make_shared<Hourglass>()); },
                       nullptr,
                       &m_trash,
                       &m_undo};
}

bool GridCommands::running() const {
    return m_running != nullptr;
}

void GridCommands::stop() {
    if (!running())
        return;
    m_runner->request_stop();
    // The picture in hand still ends; the button says the request was heard.
    m_controls.stop.setEnabled(false);
}

void GridCommands::undo_Click() {
    if (running())
        return;
    EditContext edit = context();
    undo_last(edit);
    m_ended();
}

bool GridCommands::undo_available() const {
    return !running() && m_undo.available();
}

void GridCommands::forget_undo() {
    m_undo.clear();
}

void GridCommands::fill_thumbnail_grid() {
    EditContext edit = context();
    orvix::fill_thumbnail_grid(edit);
}

std::string GridCommands::find_picture_of_item(int item) {
    return orvix::find_picture_of_item(context(), item);
}

std::optional<Rect> GridCommands::show_crop_window(const std::string& picture) {
    m_state.crop_result.clear();
    cropwindow window(m_state.crop_result, m_state.language, &m_controls.window);
    window.setpicture(to_qt(picture));
    window.exec();
    return crop_corners_of_result(m_state.crop_result);
}

void GridCommands::button_clicked(const std::string& key) {
    if (running())
        return;
    EditContext edit = context();
    if (key == "rotate")
        return run(plan_transform(edit, "qvd"));
    if (key == "crop")
        crop_selected(edit,
                      [this](const std::string& picture) { return show_crop_window(picture); });
    else if (key == "redim")
        return run(plan_typed_resize(edit));
    else if (key == "delete")
        return run(plan_delete(edit));
    else if (key == "email")
        m_send_mail();
    else
        return;
    m_ended();
}

void GridCommands::menu_clicked(const std::string& key) {
    if (running())
        return;
    EditContext edit = context();
    const auto size = std::find_if(size_entries.begin(), size_entries.end(),
                                   [&](const MenuEntry& e) { return key == e.key; });
    if (size != size_entries.end()) {
        const int quality = std::clamp(numeric_value(from_qt(m_controls.quality.text())), 0, 32767);
        return run(plan_resize(edit, numeric_value(size->text_key), int16_t(quality)));
    }
    if (transform_code(key) != 0)
        return run(plan_transform(edit, key));
    m_ended();
}

void GridCommands::run(std::optional<EditBatch> batch) {
    if (!batch || batch->size() <= 1) {
        EditContext edit = context();
        run_in_line(edit, std::move(batch));
        m_ended();
        return;
    }
    m_running = std::make_unique<Running>(m_controls, std::move(*batch),
                                          m_state.language.translate("progress_edit"));
    EditBatch* work = &m_running->batch;
    Vumbar* bar = &m_controls.bar;
    const bool started = m_runner->start(
        [work, bar](JobContext& job) {
            WindowBar sink(job, *bar);
            work->run(sink);
        },
        dialogs(), [this](const JobEnd& end) { end_job(end.failed, end.error); });
    if (!started) {
        m_running.reset();
        m_ended();
    }
}

// On the window's thread once the worker is done with the pictures: the records, the grid
// and the selection, the report, then the controls back.
void GridCommands::end_job(bool failed, const std::string& error) {
    {
        const Hourglass busy;
        EditContext edit = context();
        m_running->batch.finish(edit);
    }
    m_running.reset();
    if (failed)
        dialogs().message_box(Remplacer("#1", error, m_state.language.translate("job_error")),
                              application_title, Icon::Critical, Buttons::Ok);
    m_ended();
}

} // namespace orvix
