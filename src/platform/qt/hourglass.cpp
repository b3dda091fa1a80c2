#include "platform/qt/hourglass.h"

#include <QApplication>

namespace orvix {

Hourglass::Hourglass() {
    QApplication::setOverrideCursor(Qt::WaitCursor);
}

Hourglass::~Hourglass() {
    QApplication::restoreOverrideCursor();
}

} // namespace orvix
