#include "platform/qt/desktop.h"

#include "fs/fs.h"
#include "platform/qt/text_codec.h"

#include <QDesktopServices>
#include <QFileDialog>
#include <QUrl>

#include <cstdlib>
#include <memory>
#include <unistd.h>

namespace orvix {

QUrl shell_url(const std::string& path) {
    if (path.find("://") != std::string::npos)
        return QUrl(to_qt(path));
    std::string absolute = path;
    if (!absolute.starts_with('/')) {
        const std::unique_ptr<char, decltype(&std::free)> cwd(::getcwd(nullptr, 0), &std::free);
        absolute = add_trailing_separator(cwd ? cwd.get() : "/") + path;
    }
    // Percent-encoded from the bytes themselves, so a name that is not UTF-8 still names
    // the same file for the desktop.
    return QUrl::fromEncoded("file://" + QByteArray::fromStdString(absolute).toPercentEncoding("/"),
                             QUrl::StrictMode);
}

void open_with_shell(QWidget*, const std::string& path) {
    if (path.empty())
        return;
    QDesktopServices::openUrl(shell_url(path));
}

std::string browse_for_folder(QWidget* window, const std::string& title) {
    const QString folder = QFileDialog::getExistingDirectory(window, to_qt(title), QString(),
                                                             QFileDialog::ShowDirsOnly);
    return folder.isEmpty() ? std::string() : from_qt(folder);
}

} // namespace orvix
