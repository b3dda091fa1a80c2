// Paths cross into Qt's text boxes and back as the file system's bytes, turned into text
// by QFile's codec, so names that are not valid UTF-8 survive the round trip.
#pragma once

#include <QFile>
#include <QLineEdit>

#include <string>

namespace orvix {

inline QString path_text(const std::string& path) {
    return QFile::decodeName(QByteArray::fromStdString(path));
}

inline std::string path_of(const QLineEdit& box) {
    return QFile::encodeName(box.text()).toStdString();
}

} // namespace orvix
