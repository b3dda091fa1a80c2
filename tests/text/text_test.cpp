#include "text/text.h"

#include <gtest/gtest.h>
#include <limits>

namespace orvix {
namespace {

TEST(Fields, CountsFieldsWithoutOverlap) {
    EXPECT_EQ(nb_tokens("", ","), 1);
    EXPECT_EQ(nb_tokens(",", ","), 2);
    EXPECT_EQ(nb_tokens("a,b", ","), 2);
    EXPECT_EQ(nb_tokens("a,b,", ","), 3);
    EXPECT_EQ(nb_tokens("aaaa", "aa"), 3);
    EXPECT_EQ(nb_tokens("a\r\nb", "\r\n"), 2);
}

TEST(Fields, PicksFieldsByIndexList) {
    EXPECT_EQ(get_tokens("1-3", "2001-05-17-10-30-00", "-"), "2001-05-17");
    EXPECT_EQ(get_tokens("3,1", "a,b,c", ","), "c,a");
    EXPECT_EQ(get_tokens("1-2,2", "x,y,z", ","), "x,y,y");
    EXPECT_EQ(get_tokens(5, "a,b,c", ","), "");
    EXPECT_EQ(get_tokens(2, "a,,c", ","), "");
    EXPECT_EQ(get_tokens(0, "a,b", ","), "");
    EXPECT_EQ(get_tokens(-1, "a,b", ","), "");
    EXPECT_EQ(get_tokens("3-1", "a,b,c", ","), "");
    EXPECT_EQ(get_tokens("2", "ab<>cd<>ef", "<>"), "cd");
    // A huge range costs no more than the fields there are.
    EXPECT_EQ(get_tokens("2-2000000000", "a,b,c", ","), "b,c");
    EXPECT_EQ(get_line(2, "one\rtwo\rthree"), "two");
}

TEST(Fields, FindsLinesWithAndWithoutCase) {
    EXPECT_EQ(find_line("$KEY=", "a\r$key=1\r$KEY=2", true), 3);
    EXPECT_EQ(find_line("$KEY=", "a\r$key=1\r$KEY=2", false), 2);
    EXPECT_EQ(find_line("zz", "a\rb", false), 0);
}

TEST(Fields, RemovesAndDropsFields) {
    EXPECT_EQ(remove_token(1, "a\rb\rc", "\r"), "b\rc");
    EXPECT_EQ(remove_token(3, "a\rb\rc", "\r"), "a\rb");
    EXPECT_EQ(remove_token(2, "a,b,c", ","), "a,c");
    EXPECT_EQ(remove_token(4, "a,b,c", ","), "a,b,c");
    EXPECT_EQ(remove_token(1, "a", ","), "");
    EXPECT_EQ(drop_empty_fields(",a,,b,", ","), "a,b");
    EXPECT_EQ(drop_empty_fields("\ra\r\r\rb\r", "return"), "a\rb");
    EXPECT_EQ(drop_empty_fields("", ","), "");
}

TEST(Replace, ReplacesLeftToRightAndResumesAfterTheReplacement) {
    EXPECT_EQ(Remplacer("aa", "", "aaaa"), "aa");
    EXPECT_EQ(Remplacer("a", "aa", "aba"), "aabaa");
    EXPECT_EQ(Remplacer("<BR>", "\r\n", "no marker"), "no marker");
    EXPECT_EQ(Remplacer("x", "x", "xxx"), "xxx");
    EXPECT_EQ(Remplacer("", "y", "abc"), "abc");
    EXPECT_EQ(Remplacer("#1", "12", "x_#1 of #1"), "x_12 of 12");
}

TEST(Escaping, RoundTripsLineBreaksAndCommas) {
    const std::string text = "a@b.c\rDoe, John <j@d.e>\r";
    EXPECT_EQ(encode_value(text), "a@b.c<BR>Doe<;> John <j@d.e><BR>");
    EXPECT_EQ(decode_value(encode_value(text)), text);
    // A marker already present comes back as the character it stands for.
    EXPECT_EQ(decode_value(encode_value("x<;>y")), "x,y");
}

TEST(Padding, PadsIntegerAndFractionParts) {
    EXPECT_EQ(pad_number("7", 2, 0, ","), "07");
    EXPECT_EQ(pad_number("-3,5", 2, 2, ","), "-03,50");
    EXPECT_EQ(pad_number("12,345", 2, 1, ","), "12,3");
    EXPECT_EQ(pad_number("123", 2, 0, ","), "123");
    EXPECT_EQ(pad_number("5,", 2, 0, ","), "05,");
}

TEST(Clock, TimestampsTheFixedClockInEachForm) {
    set_clock([] { return LocalTime{2001, 5, 17, 9, 4, 3}; });
    EXPECT_EQ(timestamp(false, true), "2001-05-17-09-04-03");
    EXPECT_EQ(timestamp(true, false), "20010517-090403");
    EXPECT_EQ(timestamp(false, false), "20010517090403");
    EXPECT_EQ(date_text({2001, 2, 3, 9, 5, 7}), "20010203090507");
    set_clock({});
    EXPECT_GE(local_now().year, 2024);
}

TEST(Numbers, ReadsTheLeadingNumber) {
    EXPECT_EQ(leading_number("75"), 75);
    EXPECT_EQ(leading_number("abc"), 0);
    EXPECT_EQ(leading_number(""), 0);
    EXPECT_EQ(leading_number("  12.5px"), 12.5);
    EXPECT_EQ(leading_number("-3,5"), -3);
    EXPECT_EQ(leading_number("+8"), 8);
    EXPECT_EQ(leading_number("."), 0);
    EXPECT_EQ(leading_number(std::string(400, '9')), std::numeric_limits<double>::max());
}

TEST(Numbers, RoundsHalvesToEven) {
    EXPECT_EQ(round_half_even(2.5), 2);
    EXPECT_EQ(round_half_even(3.5), 4);
    EXPECT_EQ(round_half_even(-2.5), -2);
    EXPECT_EQ(round_half_even(-3.5), -4);
    EXPECT_EQ(round_half_even(2.4999), 2);
    EXPECT_EQ(round_half_even(2.5001), 3);
    EXPECT_EQ(numeric_value("150"), 150);
    EXPECT_EQ(numeric_value("0.5"), 0);
    EXPECT_EQ(numeric_value("1.5"), 2);
    EXPECT_EQ(numeric_value("99999999999"), std::numeric_limits<int>::max());
    EXPECT_EQ(to_lower("AbC\xC3\x89"), "abc\xC3\x89");
}

} // namespace
} // namespace orvix
