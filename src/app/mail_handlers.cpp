// The toolbar's mail button: the mail window over the selected pictures, modal and owned by
// the main window.
#include "app/form1.h"

#include "fs/fs.h"
#include "mail/mailform.h"
#include "platform/dialogs.h"

namespace orvix {

void Form1::tb_email_Click() {
    // The grid publishes its selection as item numbers joined by commas; item n is entry n
    // of the transferred pictures.
    MailContext context{
        m_state.prefs_text,           m_state.language,
        m_state.transferred_pictures, m_tex->property("SelectedItems").toString().toStdString(),
        mail_folder_root(),           dialogs()};
    // The component ships beside the running program, wherever its data folder is.
    mailform window(
        context,
        std::make_unique<SendixControl>(dialogs(), bundled_component_path(program_folder())), this);
    window.exec();
}

} // namespace orvix
