// Field texts, replacing, padding and time stamps shared by the whole program.
//
// Most lists travel as one string of fields joined by a separator ("," for
// selections, a carriage return for lines). Fields and positions are numbered
// from 1; an empty text is one empty field. Comparisons are byte-exact.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace orvix {

inline constexpr char CR = '\r';
inline constexpr std::string_view CRLF = "\r\n";

// Number of fields: separator occurrences (left to right, no overlap) plus one.
int nb_tokens(std::string_view text, std::string_view separator);

// Every occurrence of find replaced, scanning left to right and resuming after the
// inserted replacement (one character further when the replacement is empty).
std::string Remplacer(std::string_view find, std::string_view replacement, std::string_view text);

// Fields chosen by an index list ("2", "1-3", "2,5", "1-3,6"), joined by
// the separator. Indexes that name no field contribute nothing.
std::string get_tokens(std::string_view indexes, std::string_view text, std::string_view separator);
std::string get_tokens(int index, std::string_view text, std::string_view separator);
std::string get_line(int index, std::string_view text);

// 1-based number of the first carriage-return line containing find, 0 when none.
int find_line(std::string_view find, std::string_view text, bool case_sensitive);

// The text without the field at index; unchanged when index is beyond the last field.
std::string remove_token(int index, std::string_view text, std::string_view separator);

// Non-empty fields joined by single separators; the word "return" means a carriage return.
std::string drop_empty_fields(std::string_view text, std::string_view separator);

// Escaping for key=value files: carriage return <-> "<BR>", comma <-> "<;>".
std::string encode_value(std::string_view text);
std::string decode_value(std::string_view text);

// Zero-pads a number text to `int_digits` integer digits and exactly
// `dec_digits` decimals after the first `dec_sep`.
std::string pad_number(std::string_view number, int int_digits, int dec_digits,
                       std::string_view dec_sep);

struct LocalTime {
    int year = 0;
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
};

// The current local time; tests replace the clock, an empty function restores the system's.
LocalTime local_now();
void set_clock(std::function<LocalTime()> clock);

// Fourteen digits YYYYMMDDHHMMSS (the date text of the naming rules and file records).
std::string date_text(const LocalTime& t);

// dashed: YYYY-MM-DD-HH-MM-SS; compact: YYYYMMDD-HHMMSS; neither: YYYYMMDDHHMMSS.
std::string timestamp(bool compact, bool dashed);

// The leading decimal number of a text (optional blanks, sign, digits, fraction); 0 when none.
double leading_number(std::string_view text);

// Nearest integer with halves to even (2.5 -> 2, 3.5 -> 4), as a double.
double round_half_even(double value);

// round_half_even, saturated to the range of int.
int to_int(double value);

// leading_number then to_int: how the program reads a number typed or stored as text.
int numeric_value(std::string_view text);

std::string to_lower(std::string_view text);
std::string to_upper(std::string_view text);
// The value of a hexadecimal digit in either case; -1 for any other character.
int hex_digit(char c);

// Splits at every occurrence of separator; an empty text gives one empty field.
std::vector<std::string> split(std::string_view text, std::string_view separator);
// The same fields as views into text, which must outlive them.
std::vector<std::string_view> split_views(std::string_view text, std::string_view separator);
std::string join(const std::vector<std::string>& fields, std::string_view separator);

} // namespace orvix
