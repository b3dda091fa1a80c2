#include "app/close_on_signals.h"
#include "app/command_line.h"
#include "app/form1.h"
#include "app/program.h"
#include "fs/fs.h"
#include "platform/qt/desktop.h"
#include "platform/qt/qt_dialogs.h"
#include "platform/qt/tray.h"
#include "settings/language.h"

#include <QApplication>

#include <cstdio>
#include <filesystem>

int main(int argc, char** argv) {
    // Qt takes its own options (-platform, -geometry, ...) out of argv first.
    QApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromLatin1(orvix::application_title));
    QGuiApplication::setDesktopFileName(QStringLiteral("org.orvix.Orvix"));
    std::error_code ec;
    const orvix::CommandLine command_line = orvix::parse_command_line(
        std::vector<std::string>(argv + 1, argv + argc), std::filesystem::current_path(ec));
    if (!command_line.valid) {
        std::fputs(orvix::usage_line(orvix::program_name()).c_str(), stderr);
        return 2;
    }

    orvix::CloseOnSignals closer;
    orvix::QtDialogs qt_dialogs;
    orvix::ScopedDialogs installed(qt_dialogs);
    orvix::QtDesktop desktop;
    orvix::StartUp start;
    start.locations = orvix::find_locations(orvix::system_location_facts(orvix::program_folder()));
    start.thumbs_dir = orvix::new_thumbs_dir();
    start.source = command_line.source;
    start.desktop_languages = orvix::desktop_languages(orvix::locale_variables());
    const auto window = orvix::Main(start, std::make_unique<orvix::SystemTrayIcon>(), desktop);
    closer.close_on_signal(window.get());
    return QApplication::exec();
}
