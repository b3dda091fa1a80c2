// The toolbar's mail button: the mail window over the selected pictures, modal and owned by
// the main window.
#include "app/form1.h"

#include "controls/thumbgrid/glimra.h"
#include "fs/fs.h"
#include "mail/mailform.h"
#include "platform/dialogs.h"
#include "session/pictures.h"

#include <optional>

namespace orvix {

void Form1::tb_email_Click() {
    // The mail window takes item n of the selection as entry n of its list, so the list
    // follows the grid's items, each with the picture its own thumbnail stands for (the
    // grid leaves out a thumbnail it could not find, and the items after it move up). An
    // item no record, or more than one, claims gets no picture.
    const std::vector<TransferredPicture>& records = m_state.transferred_pictures;
    const PictureMap map(records, grid_items(m_tex->model().filelist()));
    std::vector<TransferredPicture> items;
    items.reserve(static_cast<size_t>(map.item_count()));
    for (int32_t item = 1; item <= map.item_count(); ++item) {
        const std::optional<size_t> record = map.record_of_item(item);
        items.push_back(
            {record ? records[*record].picture_path : std::string(), map.item_file(item)});
    }
    MailContext context{
        m_state.prefs_text, m_state.language, items, m_tex->model().selected_items(),
        mail_folder_root(), dialogs()};
    // The component ships beside the running program, wherever its data folder is.
    mailform window(context,
                    std::make_unique<SendixControl>(dialogs(), m_state.language,
                                                    bundled_component_path(program_folder())),
                    this);
    window.exec();
}

} // namespace orvix
