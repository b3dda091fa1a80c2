// System colours of the desktop, taken from the widget's palette, for the colour values
// the controls take (red in the low byte, the high bit naming a system colour).
#pragma once

#include "platform/colours.h"

#include <QColor>
#include <QPalette>

#include <optional>

namespace orvix {

// The palette colour standing in for a system colour index; nothing for an index that
// names none.
std::optional<QColor> system_colour(int index, const QPalette& palette);

// Plain RGB (red in the low byte) for any colour value; -1 when it cannot be translated.
qint32 translate_colour(quint32 colour, const QPalette& palette);

// An RGB value (red in the low byte) as a QColor.
QColor to_qcolor(qint32 colour);

} // namespace orvix
