#include "app/status_text.h"

#include "settings/language.h"
#include "text/text.h"
#include "transfer/room_estimate.h"

#include <cstdio>

namespace orvix {

std::string source_status(const LanguageTable& language, int count) {
    if (count < 0)
        return language.translate("source_unavailable");
    if (count == 0)
        return language.translate("no_picture_transferable");
    return Remplacer("#1", std::to_string(count), language.translate("x_pictures_transferable"));
}

std::string new_pictures_status(const LanguageTable& language, int new_count, int count) {
    if (count <= 0)
        return source_status(language, count);
    return Remplacer("#1", std::to_string(new_count),
                     Remplacer("#2", std::to_string(count), language.translate("new_pictures")));
}

QString kilobytes_text(double free_bytes, const QLocale& locale) {
    QLocale plain = locale;
    plain.setNumberOptions(QLocale::OmitGroupSeparator);
    return plain.toString(free_bytes / 1024.0, 'g', 15);
}

std::string destination_status(const LanguageTable& language, double free_bytes,
                               double average_size, const QLocale& locale) {
    std::string status = Remplacer("#1", kilobytes_text(free_bytes, locale).toStdString(),
                                   language.translate("how_free"));
    if (average_size != 0) {
        char pictures[64];
        std::snprintf(pictures, sizeof pictures, "%.0f",
                      pictures_of_room(free_bytes, average_size));
        status += CRLF;
        status += Remplacer("#1", pictures, language.translate("how_freepics"));
    }
    return status;
}

} // namespace orvix
