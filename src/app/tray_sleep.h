// The window asleep in the notification area: hidden behind an icon whose click brings it
// back, or minimised where the desktop has no notification area.
#pragma once

#include <QIcon>
#include <QString>

#include <memory>

class QWidget;

namespace orvix {

class TrayIcon;

class TraySleep {
public:
    // tray must not be null; window must outlive this.
    TraySleep(QWidget& window, std::unique_ptr<TrayIcon> tray, QIcon icon);
    ~TraySleep();
    TraySleep(const TraySleep&) = delete;
    TraySleep& operator=(const TraySleep&) = delete;

    // The icon's tip, in the window's language; a shown icon takes it at once.
    void set_tip(QString tip);
    void go_asleep();
    void remove_icon();
    // Brings the window back to the front, whatever state it was in.
    void wake_up();
    // Wakes the window only when it is hidden or minimised, so a visible window keeps
    // its place and focus.
    void wake_if_hidden();
    // True while the icon is in the notification area.
    bool icon_shown() const { return m_icon_shown; }
    TrayIcon& tray() { return *m_tray; }

private:
    QWidget& m_window;
    std::unique_ptr<TrayIcon> m_tray;
    QIcon m_icon;
    QString m_tip;
    bool m_icon_shown = false;
};

} // namespace orvix
