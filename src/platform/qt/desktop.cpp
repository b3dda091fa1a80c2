#include "platform/qt/desktop.h"

#include <QDesktopServices>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QUrl>

namespace orvix {

namespace {

// Paths are the file system's bytes; QFile's codec turns them into a name and back.
QString path_to_qt(const std::string& path) {
    return QFile::decodeName(QByteArray::fromStdString(path));
}

std::string path_from_qt(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

} // namespace

void open_with_shell(QWidget*, const std::string& path) {
    if (path.empty())
        return;
    const QUrl url = path.find("://") != std::string::npos
                         ? QUrl(QString::fromStdString(path))
                         : QUrl::fromLocalFile(QFileInfo(path_to_qt(path)).absoluteFilePath());
    QDesktopServices::openUrl(url);
}

std::string browse_for_folder(QWidget* window, const std::string& title) {
    const QString folder = QFileDialog::getExistingDirectory(window, QString::fromStdString(title),
                                                             QString(), QFileDialog::ShowDirsOnly);
    return folder.isEmpty() ? std::string() : path_from_qt(folder);
}

} // namespace orvix
