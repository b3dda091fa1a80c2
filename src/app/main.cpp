#include "app/form1.h"
#include "app/program.h"
#include "fs/fs.h"
#include "platform/qt/desktop.h"
#include "platform/qt/qt_dialogs.h"
#include "platform/qt/tray.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromLatin1(orvix::application_title));
    orvix::QtDialogs qt_dialogs;
    orvix::ScopedDialogs installed(qt_dialogs);
    orvix::QtDesktop desktop;
    const auto window = orvix::Main(orvix::program_folder(), orvix::new_thumbs_dir(),
                                    std::make_unique<orvix::SystemTrayIcon>(), desktop);
    return QApplication::exec();
}
