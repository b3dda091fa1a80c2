// The desktop services the windows use: opening a file or folder with the user's
// application, the folder chooser and the trash. Behind an interface so tests answer for the user.
#pragma once

#include "platform/qt/qt_trash.h"

#include <QUrl>

#include <string>

class QWidget;

namespace orvix {

// The URL the desktop gets for a path: a URL as it is, a path (made absolute) as a file
// URL percent-encoded from its bytes.
QUrl shell_url(const std::string& path);

// Hands the path (or a URL, when it holds "://") to the desktop's "open" action, which
// shows a folder in the file manager. The answer is not examined.
void open_with_shell(QWidget* window, const std::string& path);
// The folder chooser owned by window, titled title; the chosen folder's path, or "" when
// the user cancels.
std::string browse_for_folder(QWidget* window, const std::string& title);

class Desktop {
public:
    virtual ~Desktop() = default;
    virtual void open_with_shell(QWidget* window, const std::string& path) = 0;
    virtual std::string browse_for_folder(QWidget* window, const std::string& title) = 0;
    virtual Trash& trash() = 0;
};

class QtDesktop final : public Desktop {
public:
    void open_with_shell(QWidget* window, const std::string& path) override {
        orvix::open_with_shell(window, path);
    }
    std::string browse_for_folder(QWidget* window, const std::string& title) override {
        return orvix::browse_for_folder(window, title);
    }
    Trash& trash() override { return m_trash; }

private:
    QtTrash m_trash;
};

} // namespace orvix
