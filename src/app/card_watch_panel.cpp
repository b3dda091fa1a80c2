#include "app/card_watch_panel.h"

#include <QTimer>
#include <QWidget>

namespace orvix {

namespace {

constexpr int camera_watch_ms = 5000;

} // namespace

CardWatchPanel::CardWatchPanel(QWidget& window, const SystemTables& tables)
    : m_tables(tables), m_watch(list_volumes(tables)), m_timer(new QTimer(&window)) {
    m_timer->setObjectName(QStringLiteral("Timer1"));
    m_timer->setInterval(camera_watch_ms);
}

void CardWatchPanel::tick() {
    m_drive_list = list_drives(true, true);
    const std::vector<Volume> mounted = list_volumes(m_tables);
    const std::vector<Volume> cards = m_watch.look(mounted);
    if (on_look)
        on_look(mounted, cards);
    if (!m_drive_list.empty() && on_drives)
        on_drives();
}

void CardWatchPanel::start() {
    m_timer->start();
}

void CardWatchPanel::stop() {
    m_timer->stop();
}

} // namespace orvix
