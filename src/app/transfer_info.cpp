#include "app/transfer_info.h"

#include "platform/qt/text_codec.h"
#include "text/text.h"
#include "transfer/transfer_rate.h"

namespace orvix {

QString transfer_info_text(const LanguageTable& language, std::optional<double> bytes_per_second,
                           std::optional<double> seconds_left, const QLocale& locale) {
    if (!bytes_per_second)
        return QString();
    const std::string speed = from_qt(locale.toString(*bytes_per_second / 1e6, 'f', 1));
    const std::string left = seconds_left ? time_left_text(*seconds_left) : "--:--";
    return to_qt(Remplacer("#2", left, Remplacer("#1", speed, language.translate("xfer_info"))));
}

} // namespace orvix
