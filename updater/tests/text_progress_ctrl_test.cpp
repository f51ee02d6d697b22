// The progress bar rendered to an image and read back pixel by pixel where the
// design gives numbers.
#include "ui/text_progress_ctrl.h"

#include <QApplication>
#include <QImage>

#include <functional>
#include <vector>

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

TEST(ProgressArithmeticTest, RampHasOneBandPerStepOfTheWidestComponent) {
    using Segment = Ctrl::Segment;
    // 255 steps of grey over 100 pixels: one band a pixel, each 2.55 brighter.
    const std::vector<Ctrl::Band> grey = Ctrl::RampBands({0, 100}, Qt::black, Qt::white);
    ASSERT_EQ(grey.size(), 100u);
    EXPECT_EQ(grey[50].segment, (Segment{50, 51}));
    EXPECT_EQ(grey[50].color, QColor(127, 127, 127));
    EXPECT_EQ(grey[99].color, QColor(252, 252, 252));
    // 50 steps of red over 100 pixels: bands two pixels wide, the last to the end.
    const std::vector<Ctrl::Band> red = Ctrl::RampBands({10, 110}, Qt::black, QColor(50, 0, 0));
    ASSERT_EQ(red.size(), 50u);
    EXPECT_EQ(red[7].segment, (Segment{24, 26}));
    EXPECT_EQ(red[7].color, QColor(7, 0, 0));
    EXPECT_EQ(red.back().segment.right, 110);
    // No change of colour, or no room: one band.
    EXPECT_EQ(Ctrl::RampBands({0, 100}, Qt::red, Qt::red).size(), 1u);
    EXPECT_EQ(Ctrl::RampBands({3, 3}, Qt::black, Qt::white).size(), 1u);
}

TEST(ProgressArithmeticTest, FilledPartFollowsPositionAndTail) {
    using Segment = Ctrl::Segment;
    EXPECT_EQ(Ctrl::FilledSegment(100, 0, 100, 50), (Segment{0, 50}));
    EXPECT_EQ(Ctrl::FilledSegment(90, 0, 7, 3), (Segment{0, 38}));           // truncated, 38.57
    EXPECT_EQ(Ctrl::FilledSegment(100, 100, 0, 25), (Segment{0, 75}));       // range upside down
    EXPECT_EQ(Ctrl::FilledSegment(100, 0, 100, 60, 20), (Segment{20, 60}));  // the snake
    EXPECT_FALSE(Ctrl::FilledSegment(100, 7, 7, 7));                         // empty range
    EXPECT_FALSE(Ctrl::FilledSegment(100, 0, 10, 50));                       // outside the range
}

// Where bands land on screen in each layout: the painted pixel at distance d
// from the bar's start has the colour of the band holding d.
struct Layout {
    const char* name;
    int style;
};

class LayoutTest : public TextProgressCtrlTest, public ::testing::WithParamInterface<Layout> {};

TEST_P(LayoutTest, RampRunsFromTheBarsStart) {
    const bool vertical = GetParam().style & Ctrl::PBS_VERTICAL;
    const bool reversed = GetParam().style & Ctrl::TPS_REVERSED;
    bar.resize(vertical ? 10 : 100, vertical ? 100 : 10);
    bar.SetControlStyle(GetParam().style);
    bar.SetBarColor(Qt::black, QColor(50, 0, 0));
    bar.SetPos(100);
    const QImage image = Render();
    for (const Ctrl::Band& band : Ctrl::RampBands({0, 100}, Qt::black, QColor(50, 0, 0)))
        for (int d = band.segment.left; d < band.segment.right; ++d) {
            const int along = reversed ? d : 99 - d;
            const QRgb pixel =
                vertical ? image.pixel(5, along) : image.pixel(reversed ? 99 - d : d, 5);
            ASSERT_EQ(pixel, band.color.rgb()) << " at " << d;
        }
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, LayoutTest,
    ::testing::Values(Layout{"Horizontal", 0}, Layout{"Reversed", Ctrl::TPS_REVERSED},
                      Layout{"Vertical", Ctrl::PBS_VERTICAL},
                      Layout{"VerticalReversed", Ctrl::PBS_VERTICAL | Ctrl::TPS_REVERSED}),
    [](const auto& layout) { return std::string(layout.param.name); });

TEST_F(TextProgressCtrlTest, ColourChangesRepaintTheBar) {
    struct PaintCounter : QObject {
        int paints = 0;
        bool eventFilter(QObject*, QEvent* event) override {
            if (event->type() == QEvent::Paint) ++paints;
            return false;
        }
    } counter;
    bar.show();
    QApplication::processEvents();
    bar.installEventFilter(&counter);
    for (const auto& change : std::vector<std::function<void()>>{
             [&] { bar.SetBarColor(Qt::red); }, [&] { bar.SetBkColor(Qt::blue); }}) {
        counter.paints = 0;
        change();
        QApplication::processEvents();
        EXPECT_GT(counter.paints, 0);
    }
}

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
