// Source folders that come from outside the window: the folder of the command line, and a
// camera card inserted while the source is unavailable, which the source status offers.
#include "app/form1.h"

#include "app/qt_paths.h"
#include "app/widgets.h"
#include "text/text.h"

#include <QLineEdit>

namespace orvix {

void Form1::type_source(const std::string& folder) {
    m_chemin->setText(path_text(folder));
}

void Form1::watch_cards() {
    const std::vector<Volume> mounted = list_volumes(m_state.system_tables);
    if (m_card_offer && !is_mounted(*m_card_offer, mounted))
        m_card_offer.reset();
    const std::vector<Volume> cards = m_card_watch.look(mounted);
    if (cards.empty() || folder_exists(path_of(*m_chemin)))
        return;
    m_card_offer = cards.back();
    // A card wakes the window as pictures on the source do.
    if (!isVisible() || isMinimized())
        wake_up();
}

void Form1::show_card_offer(bool source_available) {
    if (source_available)
        m_card_offer.reset();
    if (!m_card_offer)
        return;
    m_statussrc->setText(
        path_text(Remplacer("#1", m_card_offer->mount_point, text_of("use_card"))));
    QPalette palette = m_statussrc->palette();
    palette.setColor(QPalette::WindowText, palette.color(QPalette::Link));
    m_statussrc->setPalette(palette);
}

void Form1::statussrc_Click() {
    // The card may have gone since the offer was made.
    if (m_card_offer && is_mounted(*m_card_offer, list_volumes(m_state.system_tables)))
        type_source(m_card_offer->mount_point);
    m_card_offer.reset();
    update();
}

} // namespace orvix
