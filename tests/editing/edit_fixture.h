// Edit commands on real files: a folder of pictures with their thumbnails as a transfer
// leaves them, the real grid model behind the grid interface, scripted boxes, and a busy
// pointer that the test can watch.
#pragma once

#include "controls/thumbgrid/glimra_model.h"
#include "editing/edit_commands.h"
#include "platform/dialogs.h"
#include "settings/language.h"
#include "support/temp_dir.h"
#include "thumbgrid/recording_host.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace orvix::test {

// The grid interface over the grid's own model, counting what the commands ask of it.
class ModelGrid : public ThumbnailGrid {
public:
    ModelGrid() : m_model(m_host) {}

    std::string filelist() const override { return m_model.filelist(); }
    void set_filelist(const std::string& text) override {
        ++filelist_writes;
        m_model.set_filelist(text);
    }
    std::vector<int32_t> selected_items() const override { return m_model.selected_items(); }
    void select_items(const std::vector<int32_t>& items) override { m_model.select_items(items); }
    // The grid's SelectedItems text, as the window reads and writes it.
    std::string SelectedItems() const { return m_model.SelectedItems(); }
    void set_SelectedItems(const std::string& text) { m_model.set_SelectedItems(text); }
    void set_LockScreen(bool lock) override { m_model.properties().LockScreen = lock; }
    std::string File_Titlestring(int32_t index) const override {
        return m_model.File_Titlestring(index);
    }
    void set_File_Titlestring(int32_t index, const std::string& text) override {
        m_model.set_File_Titlestring(index, text);
    }
    void set_TitleText(const std::string& text) override { m_model.properties().TitleText = text; }
    void refresh() override {
        ++refreshes;
        m_model.Redraw(true);
    }

    GlimraModel& model() { return m_model; }
    int filelist_writes = 0;
    int refreshes = 0;

private:
    RecordingHost m_host;
    GlimraModel m_model;
};

// Scripted boxes that also note whether the busy pointer was up when each was shown.
class WatchedDialogs : public ScriptedDialogs {
public:
    explicit WatchedDialogs(const int& busy) : m_busy(busy) {}
    Answer message_box(const std::string& text, const std::string& title, Icon icon,
                       Buttons buttons) override {
        busy_when_asked.push_back(m_busy > 0);
        return ScriptedDialogs::message_box(text, title, icon, buttons);
    }
    std::optional<std::string> input_box(const std::string& prompt, const std::string& title,
                                         const std::string& default_answer) override {
        busy_when_asked.push_back(m_busy > 0);
        return ScriptedDialogs::input_box(prompt, title, default_answer);
    }
    std::optional<size_t> choice_box(const std::string& text, const std::string& title, Icon icon,
                                     const std::vector<std::string>& choices) override {
        busy_when_asked.push_back(m_busy > 0);
        return ScriptedDialogs::choice_box(text, title, icon, choices);
    }
    Answer ask(const std::string& text, const std::string& title, Icon icon, Buttons buttons,
               Answer default_answer) override {
        busy_when_asked.push_back(m_busy > 0);
        return ScriptedDialogs::ask(text, title, icon, buttons, default_answer);
    }
    std::vector<bool> busy_when_asked;

private:
    const int& m_busy;
};

class EditTest : public ::testing::Test {
protected:
    EditTest();

    // A picture in the pictures folder (or `folder`) with its thumbnail, as a transfer
    // makes them, appended to the records.
    std::string add_picture(const std::string& name, int width, int height,
                            const std::string& folder = "");
    // Shows the records in the grid and selects the items ("" for none).
    void show(const std::string& selection);

    int busy_depth() const { return m_busy; }
    // The largest number of busy guards alive at once.
    int busy_peak() const { return m_busy_peak; }

    TempDir m_dir;
    std::string m_pictures;
    std::vector<TransferredPicture> m_records;
    LanguageTable m_language;
    int m_busy = 0;
    int m_busy_peak = 0;
    WatchedDialogs m_dialogs{m_busy};
    ModelGrid m_grid;
    EditContext m_context;
};

} // namespace orvix::test
