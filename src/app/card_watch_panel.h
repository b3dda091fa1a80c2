// The camera watch of the main window: every few seconds it lists the drives and the
// mounted volumes, and tells the window about new cards and about drives present.
#pragma once

#include "app/card_watch.h"
#include "fs/fs.h"

#include <functional>
#include <string>
#include <vector>

class QTimer;
class QWidget;

namespace orvix {

class CardWatchPanel {
public:
    // The timer is a child of window, named Timer1, not yet started. tables must outlive this.
    CardWatchPanel(QWidget& window, const SystemTables& tables);

    // One look: the drive list, then on_look with the mounted volumes and the cards that
    // appeared since the previous look, then on_drives when the drive list is not empty.
    void tick();
    void start();
    void stop();
    QTimer& timer() { return *m_timer; }
    // The drive list of the last look.
    const std::string& drive_list() const { return m_drive_list; }

    std::function<void(const std::vector<Volume>& mounted, const std::vector<Volume>& new_cards)>
        on_look;
    std::function<void()> on_drives;

private:
    const SystemTables& m_tables;
    CardWatch m_watch;
    std::string m_drive_list;
    QTimer* m_timer = nullptr;
};

} // namespace orvix
