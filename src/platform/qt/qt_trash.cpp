#include "platform/qt/qt_trash.h"

#include "fs/fs.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QStorageInfo>

#include <cerrno>
#include <optional>
#include <unistd.h>

namespace orvix {

namespace {

// The name as Qt sees it, or none when Qt could not give the same bytes back.
std::optional<QString> qt_name(const std::string& path) {
    const QString name = QFile::decodeName(QByteArray::fromStdString(path));
    if (QFile::encodeName(name).toStdString() != path)
        return std::nullopt;
    return name;
}

bool same_device(const QString& folder, const std::string& path) {
    const std::optional<FileStatus> a = file_status(QFile::encodeName(folder).toStdString());
    const std::optional<FileStatus> b = file_status(path);
    return a && b && a->device == b->device;
}

bool folder_at(const QString& path) {
    const QFileInfo info(path);
    return info.isDir() && !info.isSymLink();
}

// A folder at path, or room to make one in the folder that holds it.
bool folder_or_room(const QString& path, const QString& parent) {
    if (folder_at(path))
        return true;
    return !QFileInfo(path).exists() && !QFileInfo(path).isSymLink() &&
           may_create_in(QFile::encodeName(parent).toStdString());
}

// The trash of a volume other than the home folder's, at its root.
bool top_level_trash(const QString& root) {
    const QString uid = QString::number(::getuid());
    const QString shared = root + QStringLiteral("/.Trash");
    const std::optional<FileStatus> status = file_status(QFile::encodeName(shared).toStdString());
    // An administrator's shared trash counts only when it is a real sticky folder.
    if (folder_at(shared) && status && status->sticky &&
        folder_or_room(shared + QLatin1Char('/') + uid, shared))
        return true;
    return folder_or_room(root + QStringLiteral("/.Trash-") + uid, root);
}

} // namespace

bool QtTrash::available_for(const std::string& path) {
    const std::optional<QString> name = qt_name(path);
    if (!name || !file_exists(path))
        return false;
    const QStorageInfo source(*name);
    if (!source.isValid())
        return false;
    if (source != QStorageInfo(QDir::home()) && top_level_trash(source.rootPath()))
        return true;
    // The home trash, which a rename reaches only on its own device.
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (data.isEmpty())
        return false;
    const QString trash = data + QStringLiteral("/Trash");
    if (folder_at(trash))
        return same_device(trash, path);
    return folder_or_room(trash, data) && same_device(data, path);
}

int QtTrash::move_to_trash(const std::string& path) {
    const std::optional<QString> name = qt_name(path);
    if (!name)
        return EINVAL;
    errno = 0;
    QFile file(*name);
    if (file.moveToTrash())
        return 0;
    return errno != 0 ? errno : EIO;
}

} // namespace orvix
