// The status texts under the source and destination folders.
#pragma once

#include <QLocale>
#include <QString>
#include <string>

namespace orvix {

class LanguageTable;

// The source line for count transferable pictures; count -1 means the folder is missing.
std::string source_status(const LanguageTable& language, int count);
// The same while only new pictures are transferred: how many of the count are new.
std::string new_pictures_status(const LanguageTable& language, int new_count, int count);

// free_bytes / 1024 written in the locale's number format: its decimal separator, its
// fractional digits when the number is not whole (up to 15 significant digits), no
// group separators.
QString kilobytes_text(double free_bytes, const QLocale& locale);

// "how_free" with the free kilobytes; when average_size is not 0, a CR LF and
// "how_freepics" with free_bytes / average_size rounded half to even.
std::string destination_status(const LanguageTable& language, double free_bytes,
                               double average_size, const QLocale& locale);

} // namespace orvix
