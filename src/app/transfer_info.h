// The line under the progress bar during a transfer: the speed and the time left.
#pragma once

#include "settings/language.h"

#include <QLocale>
#include <QString>

#include <optional>

namespace orvix {

// "xfer_info" with "#1" the speed in MB/s (10^6 bytes, one decimal in the locale's number
// format) and "#2" the time left ("--:--" while the speed is 0); empty while the speed is
// not known yet.
QString transfer_info_text(const LanguageTable& language, std::optional<double> bytes_per_second,
                           std::optional<double> seconds_left, const QLocale& locale);

} // namespace orvix
