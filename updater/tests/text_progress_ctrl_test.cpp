// The progress bar rendered to an image and read back pixel by pixel where the
// design gives numbers.
#include "ui/text_progress_ctrl.h"

#include <QImage>

#include <gtest/gtest.h>

namespace {

using Ctrl = TextProgressCtrl;

class TextProgressCtrlTest : public ::testing::Test {
protected:
    TextProgressCtrlTest() {
        bar.resize(100, 10);
        bar.SetRange(0, 100);
    }

    QImage Render() { return bar.grab().toImage(); }
    QRgb At(int x, int y) { return Render().pixel(x, y); }
    QColor Background() const { return bar.palette().color(QPalette::Button); }

    Ctrl bar;
};

TEST_F(TextProgressCtrlTest, DefaultColoursAndNoLabelEvenWithWindowText) {
    bar.setWindowTitle("Progress1");
    bar.SetPos(50);
    const QImage image = Render();
    const QRgb filled = bar.palette().color(QPalette::Highlight).rgb();
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 100; ++x)
            ASSERT_EQ(image.pixel(x, y), x < 50 ? filled : Background().rgb()) << x << "," << y;
}

struct RampCase {
    const char* name;
    QColor from;
    QColor to;
    int style;
    // Expected colour at distance d from the bar's start (d = 0 .. 99).
    QRgb (*expected)(int d);
};

QRgb Flat(int) {
    return qRgb(10, 200, 30);
}
QRgb BlackToWhite(int d) {
    const int level = static_cast<int>(static_cast<float>(d) * (255.0f / 100.0f));
    return qRgb(level, level, level);
}
QRgb BlackToDarkRed(int d) {
    return qRgb(d / 2, 0, 0);
}

class RampTest : public TextProgressCtrlTest, public ::testing::WithParamInterface<RampCase> {};

TEST_P(RampTest, BandsFollowTheDesignedArithmetic) {
    const RampCase& ramp = GetParam();
    const bool vertical = ramp.style & Ctrl::PBS_VERTICAL;
    const bool reversed = ramp.style & Ctrl::TPS_REVERSED;
    bar.resize(vertical ? 10 : 100, vertical ? 100 : 10);
    bar.SetControlStyle(ramp.style);
    bar.SetBarColor(ramp.from, ramp.to);
    bar.SetPos(100);
    const QImage image = Render();
    for (int d = 0; d < 100; ++d) {
        // Distance along the bar from its start, mapped to the pixel there.
        const int along = reversed ? d : 99 - d;
        const QRgb pixel = vertical ? image.pixel(5, along) : image.pixel(reversed ? 99 - d : d, 5);
        ASSERT_EQ(pixel, ramp.expected(d)) << ramp.name << " at " << d;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Ramps, RampTest,
    ::testing::Values(
        RampCase{"OneBand", QColor(10, 200, 30), QColor(10, 200, 30), 0, Flat},
        RampCase{"BlackToWhite", Qt::black, Qt::white, 0, BlackToWhite},
        RampCase{"BlackToDarkRed", Qt::black, QColor(50, 0, 0), 0, BlackToDarkRed},
        RampCase{"Reversed", Qt::black, QColor(50, 0, 0), Ctrl::TPS_REVERSED, BlackToDarkRed},
        RampCase{"Vertical", Qt::black, QColor(50, 0, 0), Ctrl::PBS_VERTICAL, BlackToDarkRed},
        RampCase{"VerticalReversed", Qt::black, Qt::white, Ctrl::PBS_VERTICAL | Ctrl::TPS_REVERSED,
                 BlackToWhite}),
    [](const auto& ramp) { return std::string(ramp.param.name); });

TEST_F(TextProgressCtrlTest, OnlyBackgroundWhenThePositionLeavesTheRangeOrTheRangeIsEmpty) {
    bar.SetControlStyle(Ctrl::TPS_PERCENT);
    bar.SetPos(50);
    bar.SetRange(0, 10);  // the position stays at 50, outside
    EXPECT_EQ(bar.Pos(), 50);
    const QRgb background = Background().rgb();
    for (int pass = 0; pass < 2; ++pass) {
        const QImage image = Render();
        for (int y = 0; y < 10; ++y)
            for (int x = 0; x < 100; ++x) ASSERT_EQ(image.pixel(x, y), background) << pass;
        bar.SetRange(7, 7);
        bar.SetPos(7);
    }
}

TEST_F(TextProgressCtrlTest, LabelsAndTheirTwoColours) {
    bar.SetControlStyle(Ctrl::TPS_PERCENT);
    bar.SetRange(0, 3);
    bar.SetPos(2);
    EXPECT_EQ(bar.Label(), "66%");
    bar.SetRange(0, 100);
    bar.SetPos(37);
    EXPECT_EQ(bar.Label(), "37%");
    bar.setWindowTitle("Progress1");
    EXPECT_EQ(bar.Label(), "Progress1");
    // The window text is a format, never handed to printf.
    bar.SetControlStyle(Ctrl::TPS_POSITION);
    bar.setWindowTitle("%s%n %d%%");
    EXPECT_EQ(bar.Label(), "%s%n 37%");

    // A centred label crossing the bar's end shows in both text colours.
    bar.resize(200, 24);
    bar.setWindowTitle("");
    bar.SetControlStyle(Ctrl::TPS_PERCENT);
    bar.SetPos(50);
    bar.SetTextColors(QColor(255, 0, 0), QColor(0, 0, 255));
    const QImage image = Render();
    bool red = false;
    bool blue = false;
    for (int y = 0; y < 24; ++y)
        for (int x = 0; x < 200; ++x) {
            const QColor c = image.pixelColor(x, y);
            if (c.red() > 200 && c.green() < 80 && c.blue() < 80) red = red || x < 100;
            if (c.blue() > 200 && c.red() < 80 && c.green() < 80) blue = blue || x >= 100;
        }
    EXPECT_TRUE(red) << "no bar-coloured text over the filled half";
    EXPECT_TRUE(blue) << "no background-coloured text over the empty half";
}

TEST_F(TextProgressCtrlTest, SnakeTravelsThenComesBackReversed) {
    bar.SetControlStyle(Ctrl::TPS_SNAKE);
    bar.SetStep(10);
    struct Expect {
        int step, tail, pos;
    };
    // Head 100 holds the position while the tail catches up, then restarts.
    const Expect path[] = {{1, 0, 10},    {4, 0, 40},     {5, 10, 50}, {10, 60, 100},
                           {11, 70, 100}, {14, 100, 100}, {15, 0, 10}};
    int step = 0;
    for (const Expect& e : path) {
        while (step < e.step) {
            bar.StepIt();
            ++step;
        }
        EXPECT_EQ(bar.TailPos(), e.tail) << "step " << e.step;
        EXPECT_EQ(bar.Pos(), e.pos) << "step " << e.step;
        EXPECT_EQ((bar.ControlStyle() & Ctrl::TPS_REVERSED) != 0, e.step == 15)
            << "step " << e.step;
    }
    // Coming back reversed: the segment [0, 10) is drawn at the right end.
    const QImage image = Render();
    EXPECT_NE(image.pixel(95, 5), Background().rgb());
    EXPECT_EQ(image.pixel(5, 5), Background().rgb());
}

}  // namespace
