// Mouse buttons and modifier keys as the controls' events carry them: buttons 1 left,
// 2 right, 4 middle; modifiers 1 Shift, 2 Ctrl, 4 Alt.
#pragma once

#include <Qt>

#include <cstdint>

namespace orvix {

// The buttons held (a move) or the one pressed or released (a press or a release).
int16_t mouse_button_code(Qt::MouseButtons buttons);
int16_t shift_code(Qt::KeyboardModifiers modifiers);

} // namespace orvix
