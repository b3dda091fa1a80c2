// Widget tests of the main window: one QApplication for the binary, a program folder of
// each test's own (a copy of extra/ with its own prefs.prf), scripted boxes, a desktop
// that answers for the user and a notification area that the test switches on or off.
#pragma once

#include "app/form1.h"
#include "app/program.h"
#include "platform/dialogs.h"
#include "platform/qt/desktop.h"
#include "platform/qt/qt_trash.h"
#include "platform/qt/tray.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <QApplication>

#include <deque>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace orvix::test {

QApplication& qt_app();

class FakeTray final : public TrayIcon {
public:
    explicit FakeTray(bool available) : m_available(available) {}

    bool available() const override { return m_available; }
    void add(const QIcon&, const QString& tip) override {
        ++adds;
        shown = true;
        this->tip = tip.toStdString();
    }
    void remove() override { shown = false; }
    void click() { emit clicked(); }

    int adds = 0;
    bool shown = false;
    std::string tip;

private:
    bool m_available;
};

// The desktop's trash, or a test's own in its place.
class SwitchedTrash final : public Trash {
public:
    bool available_for(const std::string& path) override {
        return own ? own->available_for(path) : m_desktop.available_for(path);
    }
    int move_to_trash(const std::string& path) override {
        return own ? own->move_to_trash(path) : m_desktop.move_to_trash(path);
    }

    Trash* own = nullptr;

private:
    QtTrash m_desktop;
};

class FakeDesktop final : public Desktop {
public:
    void open_with_shell(QWidget*, const std::string& path) override { opened.push_back(path); }
    std::string browse_for_folder(QWidget*, const std::string& title) override {
        titles.push_back(title);
        if (answers.empty())
            return "";
        std::string answer = answers.front();
        answers.pop_front();
        return answer;
    }

    Trash& trash() override { return switched_trash; }

    SwitchedTrash switched_trash;    // the desktop's own unless a test gives one
    std::deque<std::string> answers; // "" is a cancel
    std::vector<std::string> opened;
    std::vector<std::string> titles;
};

using Prefs = std::vector<std::pair<std::string, std::string>>;

// "$KEY=value" lines joined by carriage returns, as the program writes them.
std::string prefs_file_text(const Prefs& prefs);

class AppTest : public ::testing::Test {
protected:
    AppTest();
    ~AppTest() override;

    // Writes the preferences and starts the program as Main does.
    Form1& start(const Prefs& prefs, bool tray_available = true);
    Form1& start_with_text(const std::string& prefs_text, bool tray_available = true);
    // The program folder's own extra/, the thumbnail folder of the test.
    StartUp start_up() const;
    // Starts the program as Main does, with the preferences file as it stands.
    Form1& run(const StartUp& start, bool tray_available = true);

    template <class Widget> Widget* child(const char* name) const {
        Widget* widget = m_form->findChild<Widget*>(QString::fromLatin1(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }
    // Clicks the transfer button and lets the window run until the transfer has ended.
    void click_transfer_and_wait();
    // The text of key in the shipped language file of that name.
    static std::string shipped_text(const std::string& language, const std::string& key);

    TempDir m_dir;
    // The program's own records (the pictures transferred before) stay in the test's folder.
    ScopedEnv m_env;
    std::string m_program;
    std::string m_thumbs;
    ScriptedDialogs m_dialogs;
    ScopedDialogs m_installed{m_dialogs};
    FakeDesktop m_desktop;
    FakeTray* m_tray = nullptr;
    std::unique_ptr<Form1> m_form;
};

} // namespace orvix::test
