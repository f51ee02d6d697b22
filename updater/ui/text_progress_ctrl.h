// The updater's progress bar. It keeps the standard control's range, position
// and step but paints everything itself into an off-screen pixmap: a colour
// ramp through the gradient stops, an optional label in two colours (one over
// the filled part, one over the rest), vertical and reversed layouts, and the
// snake, a segment of tailSize that travels along the bar and comes back the
// other way.
//
// Range and position are the control's own and follow the standard control,
// not QProgressBar (whose value is left unused, since setting it repaints at
// once and resets a value outside the range): a
// position is clamped to the range when set, but changing the range leaves it
// where it was, so it may then lie outside and only the background shows.
// The window title is the label's format string ("%d" and "%%" are expanded).
#pragma once

#include <QBrush>
#include <QColor>
#include <QMargins>
#include <QProgressBar>

#include <optional>
#include <vector>

class QPainter;

class TextProgressCtrl : public QProgressBar {
    Q_OBJECT

public:
    // Style bits, read together with the standard vertical bit.
    enum Style : int {
        PBS_VERTICAL = 0x0004,
        TPS_ALIGNLEFT = 0x0010,
        TPS_ALIGNRIGHT = 0x0020,
        TPS_ALIGNTOP = 0x0040,
        TPS_ALIGNBOTTOM = 0x0080,
        TPS_PERCENT = 0x0100,
        TPS_POSITION = 0x0200,
        TPS_TEXTONLY = 0x0300,
        TPS_TIEDTEXT = 0x1000,
        TPS_STRETCH = 0x2000,
        TPS_REVERSED = 0x4000,
        TPS_SNAKE = 0x8000,
    };
    static constexpr int labelModeMask = 0x0300;

    explicit TextProgressCtrl(QWidget* parent = nullptr);

    int ControlStyle() const { return style; }
    void SetControlStyle(int bits);
    // A one-pixel frame around the client area, as a bordered control has.
    void SetBordered(bool on);

    // The standard messages. Each returns what the standard control returns:
    // the previous position, or the previous step.
    void SetRange(int lower, int upper);
    int SetPos(int position);
    int DeltaPos(int increment);
    int StepIt();
    int SetStep(int step);
    // The bar becomes a ramp from `from` to `to`, or one colour without `to`.
    void SetBarColor(const QColor& from, const std::optional<QColor>& to = std::nullopt);
    void SetBkColor(const QColor& color);

    int Lower() const { return lower; }
    int Upper() const { return upper; }
    int Pos() const { return position; }
    int TailPos() const { return tailPos; }

    // Not messages of the standard control; set directly.
    void SetGradientColors(std::vector<QColor> stops);
    void SetBarBrush(const std::optional<QBrush>& brush);
    void SetBackgroundBrush(const std::optional<QBrush>& brush);
    void SetTextColors(const QColor& overBar, const QColor& overBackground);
    void SetTailSize(int size);
    void SetBorders(const QMargins& margins);

    // A part of the bar, [left, right) measured along it from its start.
    struct Segment {
        int left = 0;
        int right = 0;
        int Length() const { return right - left; }
        bool operator==(const Segment&) const = default;
    };
    // One band of a colour ramp: where along the bar, and its colour.
    struct Band {
        Segment segment;
        QColor color;
    };

    // The filled part of a bar length pixels long for position in [lower,
    // upper] (from the snake's tail to its head when tail is given); nothing
    // for an empty range or a position outside it, where only the background
    // shows.
    static std::optional<Segment> FilledSegment(int length, int lower, int upper, int position,
                                                std::optional<int> tail = std::nullopt);
    // The designed ramp over section from `from` to `to`: one band per step of
    // the colour component that changes most (at most one per pixel, at least
    // one), each component rising by its share per band, kept to 8 bits.
    static std::vector<Band> RampBands(Segment section, const QColor& from, const QColor& to);

    // The label for a value as the current style and format give it.
    QString MakeLabel(double value) const;
    // The label the bar shows now (empty: none).
    QString Label() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    struct PaintContext {
        QPainter* painter;
        int style;
        QRect client;  // after the borders inset
        int position;
        int lower;
        int upper;
    };

    void PaintBarSegments(const PaintContext& context, Segment ramp, Segment visible);
    void PaintColorRamp(const PaintContext& context, Segment section, Segment cut,
                        const QColor& from, const QColor& to);
    void PaintLabel(const PaintContext& context, Segment full, Segment filled);
    void PaintLabelClipped(const PaintContext& context, Segment segment, const QString& label,
                           const QRect& textBox, const QColor& color);
    // Snake mode only: moves the head (to value, or by it), returns the
    // previous position; nothing outside snake mode.
    std::optional<int> AdvanceSnake(int value, bool incremental);

    static QRect MapToClient(const PaintContext& context, Segment segment);
    static int BarLength(const PaintContext& context);
    int SetClampedPos(int newPosition);

    std::vector<QColor> gradientColors;
    std::optional<QBrush> barBrush;
    QColor backgroundColor;
    std::optional<QBrush> backgroundBrush;
    QColor barTextColor;
    QColor backgroundTextColor;
    int tailPos = 0;
    int tailSize = 40;
    int stepSize = 10;
    QMargins borders;

    int style = 0;
    bool bordered = false;
    int lower = 0;
    int upper = 100;
    int position = 0;
};
