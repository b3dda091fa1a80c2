// The notification-area icon. Many Linux desktops have no notification area; available()
// tells the window so it can minimise instead of hiding itself out of reach.
#pragma once

#include <QIcon>
#include <QObject>
#include <QString>

class QSystemTrayIcon;

namespace orvix {

class TrayIcon : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;

    // True when the desktop shows notification-area icons.
    virtual bool available() const = 0;
    virtual void add(const QIcon& icon, const QString& tip) = 0;
    virtual void remove() = 0;

signals:
    // A left click on the icon.
    void clicked();
};

class SystemTrayIcon final : public TrayIcon {
    Q_OBJECT

public:
    explicit SystemTrayIcon(QObject* parent = nullptr);

    bool available() const override;
    void add(const QIcon& icon, const QString& tip) override;
    void remove() override;

private:
    QSystemTrayIcon* m_icon;
};

} // namespace orvix
