// Text that crosses into Qt and back keeps its bytes. File names on Linux are bytes that
// need not be UTF-8; Qt's own conversions turn such bytes into U+FFFD for good. Here valid
// UTF-8 becomes its characters, and each other byte 0x80-0xFF becomes the lone surrogate
// U+DC80-U+DCFF, which no valid UTF-8 decodes to, so the way back restores it exactly.
#pragma once

#include <QString>

#include <string>
#include <string_view>

namespace orvix {

// The text for a widget: every byte string maps to a distinct QString.
QString to_qt(std::string_view bytes);

// The bytes back: characters as UTF-8, escaped bytes as themselves. A text typed into a
// widget keeps the bytes of the part the user did not edit.
std::string from_qt(const QString& text);

} // namespace orvix
