#include "app/tray_sleep.h"

#include "platform/qt/tray.h"

#include <QWidget>

namespace orvix {

TraySleep::TraySleep(QWidget& window, std::unique_ptr<TrayIcon> tray, QIcon icon)
    : m_window(window), m_tray(std::move(tray)), m_icon(std::move(icon)) {}

TraySleep::~TraySleep() = default;

void TraySleep::set_tip(QString tip) {
    m_tip = std::move(tip);
    // Adding a shown icon again only changes its tip.
    if (m_icon_shown)
        m_tray->add(m_icon, m_tip);
}

void TraySleep::go_asleep() {
    if (m_icon_shown)
        return;
    m_icon_shown = true;
    m_tray->add(m_icon, m_tip);
    // Without a notification area a hidden window could never be reached again: it is
    // minimised instead, and the camera watch brings it back as usual.
    if (m_tray->available())
        m_window.hide();
    else if (!m_window.isMinimized())
        m_window.showMinimized();
}

void TraySleep::remove_icon() {
    if (!m_icon_shown)
        return;
    m_tray->remove();
    m_icon_shown = false;
}

void TraySleep::wake_up() {
    m_window.setWindowState(m_window.windowState() & ~Qt::WindowMinimized);
    m_window.show();
    m_window.raise();
    m_window.activateWindow();
}

void TraySleep::wake_if_hidden() {
    if (!m_window.isVisible() || m_window.isMinimized())
        wake_up();
}

} // namespace orvix
