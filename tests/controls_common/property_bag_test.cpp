#include "controls/common/property_bag.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace orvix {
namespace {

struct Sample {
    uint8_t Byte = 2;
    int16_t Short = 1;
    uint32_t Colour = 0x8000000Du;
    float Scale = 1;
    bool Flag = true;
    std::string Text = "#NAME#";

    template <class Visit> static void for_each_property(Visit&& visit) {
        visit("Byte", &Sample::Byte);
        visit("Short", &Sample::Short);
        visit("Colour", &Sample::Colour);
        visit("Scale", &Sample::Scale, [](float scale) { return scale > 0; });
        visit("Flag", &Sample::Flag);
        visit("Text", &Sample::Text);
    }
};

TEST(PropertyBag, NumbersAreReadOnlyWithinTheirMembersRange) {
    struct Case {
        const char* name;
        int64_t stored;
        bool read;
    };
    for (const Case& c : {Case{"Byte", 0, true}, Case{"Byte", 255, true}, Case{"Byte", 256, false},
                          Case{"Byte", -1, false}, Case{"Short", -32768, true},
                          Case{"Short", 32767, true}, Case{"Short", 32768, false},
                          Case{"Short", -32769, false}, Case{"Colour", 0xFFFFFFFF, true},
                          Case{"Colour", 0x100000000, false}, Case{"Colour", -1, false}}) {
        const Sample read = read_properties<Sample>({{c.name, c.stored}});
        const Sample defaults;
        PropertyBag written;
        write_properties(read, written);
        if (c.read)
            EXPECT_EQ(written, (PropertyBag{{c.name, c.stored}})) << c.name << " " << c.stored;
        else
            EXPECT_TRUE(written.empty()) << c.name << " " << c.stored;
    }
}

TEST(PropertyBag, ASingleIsKeptAsTheShortestTextThatReadsBackTheSame) {
    for (const float scale : {0.1f, 1.5f, 1e-7f, 3.4028235e38f, 2.0f / 3.0f}) {
        Sample sample;
        sample.Scale = scale;
        PropertyBag bag;
        write_properties(sample, bag);
        EXPECT_EQ(read_properties<Sample>(bag).Scale, scale)
            << std::get<std::string>(bag.at("Scale"));
    }
    Sample sample;
    sample.Scale = 0.1f;
    PropertyBag bag;
    write_properties(sample, bag);
    EXPECT_EQ(std::get<std::string>(bag.at("Scale")), "0.1");
}

TEST(PropertyBag, ValuesOfTheWrongKindOrRefusedKeepTheDefault) {
    for (const PropertyValue& stored :
         {PropertyValue{std::string("abc")}, PropertyValue{std::string("inf")},
          PropertyValue{std::string("nan")}, PropertyValue{std::string("1e99")},
          PropertyValue{std::string("0")}, PropertyValue{std::string("-2")},
          PropertyValue{int64_t{2}}, PropertyValue{true}}) {
        EXPECT_EQ(read_properties<Sample>({{"Scale", stored}}).Scale, 1.0f) << stored.index();
    }
    const Sample read = read_properties<Sample>({{"Flag", int64_t{0}},
                                                 {"Text", false},
                                                 {"Short", std::string("5")},
                                                 {"Unknown", int64_t{1}}});
    PropertyBag written;
    write_properties(read, written);
    EXPECT_TRUE(written.empty());
}

TEST(PropertyBag, OnlyWhatDiffersFromTheDefaultIsWrittenAndAllOfItReadsBack) {
    Sample changed;
    changed.Flag = false;
    changed.Text = "";
    changed.Short = -5;
    PropertyBag bag;
    write_properties(changed, bag);
    EXPECT_EQ(bag, (PropertyBag{{"Short", int64_t{-5}}, {"Flag", false}, {"Text", std::string()}}));
    const Sample read = read_properties<Sample>(bag);
    EXPECT_EQ(read.Short, -5);
    EXPECT_FALSE(read.Flag);
    EXPECT_EQ(read.Text, "");
    EXPECT_EQ(read.Byte, 2);
}

} // namespace
} // namespace orvix
