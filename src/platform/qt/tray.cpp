#include "platform/qt/tray.h"

#include <QSystemTrayIcon>

namespace orvix {

SystemTrayIcon::SystemTrayIcon(QObject* parent)
    : TrayIcon(parent), m_icon(new QSystemTrayIcon(this)) {
    connect(m_icon, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                // Double clicks, right clicks and the middle button do nothing.
                if (reason == QSystemTrayIcon::Trigger)
                    emit clicked();
            });
}

bool SystemTrayIcon::available() const {
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void SystemTrayIcon::add(const QIcon& icon, const QString& tip) {
    m_icon->setIcon(icon);
    m_icon->setToolTip(tip);
    if (available())
        m_icon->show();
}

void SystemTrayIcon::remove() {
    m_icon->hide();
}

} // namespace orvix
