// The toolbar's mail button: the mail window over the selected pictures, modal and owned by
// the main window.
#include "app/form1.h"

#include "controls/thumbgrid/glimra.h"
#include "fs/fs.h"
#include "mail/mailform.h"
#include "platform/dialogs.h"

namespace orvix {

void Form1::tb_email_Click() {
    // The mail window takes item n of the selection as entry n of its list, so the list
    // follows the grid's items, each with the picture its own thumbnail stands for (the
    // grid leaves out a thumbnail it could not find, and the items after it move up).
    std::vector<TransferredPicture> items;
    const int count = m_tex->model().count();
    items.reserve(static_cast<size_t>(count));
    for (int item = 1; item <= count; ++item)
        items.push_back({find_picture_of_item(item), m_tex->model().File_Path(item)});
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
