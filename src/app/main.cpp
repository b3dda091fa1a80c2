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
    orvix::StartUp start;
    start.locations = orvix::find_locations(orvix::system_location_facts(orvix::program_folder()));
    start.thumbs_dir = orvix::new_thumbs_dir();
    const auto window = orvix::Main(start, std::make_unique<orvix::SystemTrayIcon>(), desktop);
    return QApplication::exec();
}
