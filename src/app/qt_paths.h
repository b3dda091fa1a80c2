// Paths cross into Qt's text boxes and back as the file system's bytes, so names that are
// not valid UTF-8 survive the round trip.
#pragma once

#include "platform/qt/text_codec.h"

#include <QLineEdit>

#include <string>

namespace orvix {

inline QString path_text(const std::string& path) {
    return to_qt(path);
}

inline std::string path_of(const QLineEdit& box) {
    return from_qt(box.text());
}

} // namespace orvix
