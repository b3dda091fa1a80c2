// The progress bar widget on the offscreen platform: properties, notifications, colours and
// what actually lands in the pixels.
#include "controls/progress/vumbar.h"
#include "support/qt_app.h"

#include <QApplication>
#include <QImage>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

namespace orvix {
namespace {

const QRgb red = qRgb(255, 0, 0);
const QRgb blue = qRgb(0, 0, 255);

// Plain red bar on blue, no relief, no frame, no caption.
void make_flat(Vumbar& bar, int width, int height) {
    bar.resize(width, height);
    bar.setBackColor(0xFF0000);
    bar.setBarColor(0x0000FF);
    bar.setTextColor(0x00FF00);
    bar.setBackColor_Relief(false);
    bar.setBarColor_Relief(false);
    bar.setAppearance(0);
    bar.setCaption(QString());
}

QImage render(Vumbar& bar) {
    QImage image(bar.size(), QImage::Format_RGB32);
    bar.render(&image);
    return image;
}

TEST(VumbarProperties, DefaultsUnderTheirNames) {
    Vumbar bar;
    const std::pair<const char*, QVariant> defaults[]{
        {"BackColor", 0x8000000Cu},
        {"BarColor", 0x8000000Du},
        {"TextColor", 0x8000000Eu},
        {"Value", 0},
        {"Min", 0},
        {"Max", 100},
        {"CaptionAlign", 0},
        {"Appearance", 1},
        {"BackColor_Relief", true},
        {"BarColor_Relief", true},
        {"Caption", "Vumbar 1.0 - 2000 / {percents} % ({value}/{max})"},
    };
    for (const auto& [name, expected] : defaults)
        EXPECT_EQ(bar.property(name).toString(), expected.toString()) << name;
}

TEST(VumbarProperties, LetsNotifyAndRunCallsDoNot) {
    Vumbar bar;
    const std::pair<const char*, QVariant> changes[]{
        {"BackColor", 0x123456u},
        {"BarColor", 0x80000005u},
        {"TextColor", 0u},
        {"Caption", "{value}"},
        {"Value", 7},
        {"Min", -3},
        {"Max", 9},
        {"CaptionAlign", 4},
        {"Appearance", 0},
        {"BackColor_Relief", false},
        {"BarColor_Relief", false},
    };
    for (const auto& [name, value] : changes) {
        const QMetaObject* meta = bar.metaObject();
        QSignalSpy spy(&bar, meta->property(meta->indexOfProperty(name)).notifySignal());
        ASSERT_TRUE(bar.setProperty(name, value)) << name;
        EXPECT_EQ(spy.count(), 1) << name;
        EXPECT_EQ(bar.property(name).toString(), value.toString()) << name;
    }
    QSignalSpy value_spy(&bar, &Vumbar::ValueChanged);
    QSignalSpy max_spy(&bar, &Vumbar::MaxChanged);
    QSignalSpy min_spy(&bar, &Vumbar::MinChanged);
    bar.set_max(40);
    bar.set_min(10);
    bar.set_value(25);
    EXPECT_EQ((std::array{bar.Max(), bar.Min(), bar.Value()}), (std::array{40, 10, 25}));
    EXPECT_EQ(value_spy.count() + max_spy.count() + min_spy.count(), 0);
}

class PaintCounter : public QObject {
public:
    int count = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        count += event->type() == QEvent::Paint;
        return false;
    }
};

TEST(VumbarProperties, ChangesPaintWithoutTheEventLoop) {
    Vumbar bar;
    bar.resize(200, 20);
    bar.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&bar));
    PaintCounter counter;
    bar.installEventFilter(&counter);
    // No event processing from here on, as in a transfer run.
    bar.setValue(10);
    bar.set_value(20);
    bar.set_max(50);
    EXPECT_EQ(counter.count, 3);
}

TEST(VumbarColours, SystemColoursComeFromThePalette) {
    Vumbar bar;
    QPalette palette = bar.palette();
    palette.setColor(QPalette::Dark, QColor(171, 171, 170));
    palette.setColor(QPalette::Highlight, QColor(0, 51, 127));
    palette.setColor(QPalette::HighlightedText, QColor(250, 251, 252));
    palette.setColor(QPalette::Button, QColor(212, 208, 200));
    bar.setPalette(palette);
    EXPECT_EQ(bar.translated_colour(bar.BackColor()), 0xAAABAB);
    EXPECT_EQ(bar.translated_colour(bar.BarColor()), 0x7F3300);
    EXPECT_EQ(bar.translated_colour(bar.TextColor()), 0xFCFBFA);
    EXPECT_EQ(bar.translated_colour(0x8000000F), 0xC8D0D4);
    EXPECT_EQ(bar.translated_colour(0x80000019), -1);
}

TEST(VumbarPaint, BarColourUpToTheFillAndBackgroundBeyond) {
    struct Case {
        int value, min, max, filled_pixels;
    };
    for (const Case& c : {Case{50, 0, 200, 50}, Case{30, 20, 120, 60}, Case{7, 7, 7, 0},
                          Case{150, 0, 100, 200}, Case{-5, 0, 100, 0}}) {
        Vumbar bar;
        make_flat(bar, 200, 20);
        bar.set_min(c.min);
        bar.set_max(c.max);
        bar.set_value(c.value);
        const QImage image = render(bar);
        for (int y : {0, 19})
            for (int x = 0; x < 200; ++x)
                ASSERT_EQ(image.pixel(x, y), x < c.filled_pixels ? red : blue)
                    << c.value << " in " << c.min << ".." << c.max << " at x=" << x;
    }
}

TEST(VumbarPaint, SunkenFrameOnePixelWideAroundTheFill) {
    Vumbar bar;
    make_flat(bar, 202, 22);
    QPalette palette = bar.palette();
    palette.setColor(QPalette::Dark, QColor(10, 20, 30));
    palette.setColor(QPalette::Light, QColor(240, 230, 220));
    bar.setPalette(palette);
    bar.setAppearance(1);
    bar.setValue(25);
    const QImage image = render(bar);
    const QRgb shadow = qRgb(10, 20, 30), light = qRgb(240, 230, 220);
    EXPECT_EQ((std::array{image.pixel(0, 10), image.pixel(100, 0)}), (std::array{shadow, shadow}));
    EXPECT_EQ((std::array{image.pixel(201, 10), image.pixel(100, 21)}), (std::array{light, light}));
    // A quarter of the 200 inner pixels, starting inside the frame.
    EXPECT_EQ((std::array{image.pixel(1, 1), image.pixel(50, 20)}), (std::array{red, red}));
    EXPECT_EQ((std::array{image.pixel(51, 1), image.pixel(200, 20)}), (std::array{blue, blue}));
    // A value beyond Max fills the inside and leaves the frame alone.
    bar.setValue(150);
    const QImage full = render(bar);
    EXPECT_EQ((std::array{full.pixel(200, 10), full.pixel(201, 10)}), (std::array{red, light}));
}

TEST(VumbarPaint, ReliefDarkensTheBackgroundAndLightensTheBarUpwards) {
    Vumbar bar;
    make_flat(bar, 100, 40);
    bar.setBackColor(0xFA0000);
    bar.setBarColor(0x0000C8);
    bar.setBackColor_Relief(true);
    bar.setBarColor_Relief(true);
    bar.setValue(50);
    const QImage image = render(bar);
    EXPECT_EQ(image.pixel(10, 39), qRgb(200, 0, 0));
    EXPECT_EQ(image.pixel(80, 39), qRgb(0, 0, 250));
    for (int y = 38; y >= 0; --y) {
        ASSERT_GE(qGreen(image.pixel(10, y)), qGreen(image.pixel(10, y + 1))) << y;
        ASSERT_LE(qBlue(image.pixel(80, y)), qBlue(image.pixel(80, y + 1))) << y;
    }
    EXPECT_GT(qGreen(image.pixel(10, 0)), 0);
    EXPECT_LT(qBlue(image.pixel(80, 0)), 50);
}

TEST(VumbarPaint, CaptionLandsWhereCaptionAlignSays) {
    struct Case {
        qint16 align;
        int ink_from, ink_to; // a value of 50 fills up to column 150
    };
    for (const Case& c : {Case{0, 0, 60}, Case{1, 240, 299}, Case{3, 150, 210}, Case{4, 90, 149},
                          Case{5, 110, 190}}) {
        Vumbar bar;
        make_flat(bar, 300, 30);
        bar.setCaption("{value}%");
        bar.setCaptionAlign(c.align);
        bar.setValue(50);
        const QImage image = render(bar);
        int first = 300, last = -1;
        for (int y = 0; y < 30; ++y)
            for (int x = 0; x < 300; ++x)
                if (image.pixel(x, y) != red && image.pixel(x, y) != blue)
                    first = std::min(first, x), last = std::max(last, x);
        EXPECT_LE(first, last) << "no caption drawn for " << c.align;
        EXPECT_GE(first, c.ink_from) << c.align;
        EXPECT_LE(last, c.ink_to) << c.align;
    }
}

} // namespace
} // namespace orvix
