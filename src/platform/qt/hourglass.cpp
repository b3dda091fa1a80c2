#include "platform/qt/hourglass.h"

#include <QApplication>

namespace orvix {

namespace {

Qt::CursorShape shape_of(Pointer pointer) {
    switch (pointer) {
    case Pointer::Busy:
        return Qt::BusyCursor;
    case Pointer::Arrow:
        return Qt::ArrowCursor;
    case Pointer::Hourglass:
        break;
    }
    return Qt::WaitCursor;
}

} // namespace

Hourglass::Hourglass(Pointer pointer) {
    QApplication::setOverrideCursor(shape_of(pointer));
}

Hourglass::~Hourglass() {
    QApplication::restoreOverrideCursor();
}

} // namespace orvix
