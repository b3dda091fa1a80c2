// What every window does to build its controls: texts into Qt strings, controls named as
// the window's design names them, and labels that never read a text as markup.
#pragma once

#include "platform/qt/text_codec.h"

#include <QLabel>
#include <QString>

#include <string>

namespace orvix::widgets {

// Byte for byte: file names need not be UTF-8.
inline QString qt(const std::string& text) {
    return to_qt(text);
}

template <class Widget> Widget* named(Widget* widget, const char* name) {
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

// Language texts may hold "<" (for example "<BR>"), which must never turn a label into
// rich text.
inline QLabel* plain_label(QWidget* parent, const char* name) {
    QLabel* label = named(new QLabel(parent), name);
    label->setTextFormat(Qt::PlainText);
    return label;
}

} // namespace orvix::widgets
