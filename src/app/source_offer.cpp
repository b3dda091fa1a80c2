// Source folders that come from outside the window: the folder of the command line.
#include "app/form1.h"

#include "app/qt_paths.h"

namespace orvix {

void Form1::type_source(const std::string& folder) {
    m_chemin->setText(path_text(folder));
}

} // namespace orvix
