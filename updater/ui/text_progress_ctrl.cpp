// The self-painted progress bar: the standard messages, the arithmetic and the painting.
#include "ui/text_progress_ctrl.h"

#include <QFontMetrics>
#include <QPaintEvent>
#include <QPainter>
#include <QPixmap>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace {

// Truncates toward zero, saturating where an int cannot hold the value.
int TruncateToInt(double value) {
    if (std::isnan(value)) return 0;
    if (value >= static_cast<double>(std::numeric_limits<int>::max()))
        return std::numeric_limits<int>::max();
    if (value <= static_cast<double>(std::numeric_limits<int>::min()))
        return std::numeric_limits<int>::min();
    return static_cast<int>(value);
}

// Expands "%d" with the value and "%%" with "%"; every other character,
// including a lone "%", stands for itself. The format is the window title, so
// it must never reach a printf-style formatter.
QString ExpandFormat(const QString& format, int value) {
    QString label;
    for (qsizetype i = 0; i < format.size(); ++i) {
        if (format[i] == u'%' && i + 1 < format.size()) {
            if (format[i + 1] == u'd') {
                label += QString::number(value);
                ++i;
                continue;
            }
            if (format[i + 1] == u'%') {
                label += u'%';
                ++i;
                continue;
            }
        }
        label += format[i];
    }
    return label;
}

int Component(const QColor& color, int index) {
    const int components[] = {color.red(), color.green(), color.blue()};
    return components[index];
}

}  // namespace

TextProgressCtrl::TextProgressCtrl(QWidget* parent) : QProgressBar(parent) {
    const QPalette colors = palette();
    gradientColors = {colors.color(QPalette::Highlight), colors.color(QPalette::Highlight)};
    backgroundColor = colors.color(QPalette::Button);
    barTextColor = colors.color(QPalette::HighlightedText);
    backgroundTextColor = colors.color(QPalette::ButtonText);
    // Everything is painted over, so nothing needs erasing first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setTextVisible(false);
}

void TextProgressCtrl::SetControlStyle(int bits) {
    style = bits;
    update();
}

void TextProgressCtrl::SetBordered(bool on) {
    bordered = on;
    update();
}

void TextProgressCtrl::SetRange(int newLower, int newUpper) {
    lower = newLower;
    upper = newUpper;
    update();
}

int TextProgressCtrl::SetClampedPos(int newPosition) {
    const int previous = position;
    position = std::clamp(newPosition, std::min(lower, upper), std::max(lower, upper));
    update();
    return previous;
}

int TextProgressCtrl::SetPos(int newPosition) {
    if (const std::optional<int> previous = AdvanceSnake(newPosition, false)) return *previous;
    return SetClampedPos(newPosition);
}

int TextProgressCtrl::DeltaPos(int increment) {
    if (const std::optional<int> previous = AdvanceSnake(increment, true)) return *previous;
    return SetClampedPos(static_cast<int>(
        std::clamp<long long>(static_cast<long long>(position) + increment,
                              std::numeric_limits<int>::min(), std::numeric_limits<int>::max())));
}

int TextProgressCtrl::StepIt() {
    if (const std::optional<int> previous = AdvanceSnake(stepSize, true)) return *previous;
    // Past either end the bar starts over from the other.
    long long next = static_cast<long long>(position) + stepSize;
    if (next > upper) next = lower;
    if (next < lower) next = upper;
    return SetClampedPos(static_cast<int>(next));
}

int TextProgressCtrl::SetStep(int step) {
    const int previous = stepSize;
    stepSize = step;
    return previous;
}

void TextProgressCtrl::SetBarColor(const QColor& from, const std::optional<QColor>& to) {
    gradientColors = {from, to.value_or(from)};
    update();
}

void TextProgressCtrl::SetBkColor(const QColor& color) {
    backgroundColor = color;
    update();
}

void TextProgressCtrl::SetGradientColors(std::vector<QColor> stops) {
    gradientColors = std::move(stops);
    update();
}

void TextProgressCtrl::SetBarBrush(const std::optional<QBrush>& brush) {
    barBrush = brush;
    update();
}

void TextProgressCtrl::SetBackgroundBrush(const std::optional<QBrush>& brush) {
    backgroundBrush = brush;
    update();
}

void TextProgressCtrl::SetTextColors(const QColor& overBar, const QColor& overBackground) {
    barTextColor = overBar;
    backgroundTextColor = overBackground;
    update();
}

void TextProgressCtrl::SetTailSize(int size) {
    tailSize = size;
    update();
}

void TextProgressCtrl::SetBorders(const QMargins& margins) {
    borders = margins;
    update();
}

std::optional<int> TextProgressCtrl::AdvanceSnake(int value, bool incremental) {
    if ((style & TPS_SNAKE) == 0) return std::nullopt;
    long long head = value;
    if (incremental) {
        long long start = position;
        // At the upper end the head is held while the tail catches up.
        if (start == upper && position - tailPos < tailSize) start = tailPos + tailSize;
        head = start + std::llabs(value);
    }
    if (head > static_cast<long long>(upper) + tailSize) {
        head = std::min<long long>(static_cast<long long>(upper) + tailSize,
                                   head + lower - tailSize - upper);
        style ^= TPS_REVERSED;
    }
    // At or past the upper end the clamped position stays while the tail
    // moves; update() below repaints the whole control in either case.
    tailPos = static_cast<int>(std::max<long long>(head - tailSize, lower));
    return SetClampedPos(static_cast<int>(std::clamp<long long>(
        head, std::numeric_limits<int>::min(), std::numeric_limits<int>::max())));
}

int TextProgressCtrl::BarLength(const PaintContext& context) {
    return (context.style & PBS_VERTICAL) ? context.client.height() : context.client.width();
}

QRect TextProgressCtrl::MapToClient(const PaintContext& context, Segment segment) {
    const QRect& client = context.client;
    const bool reversed = (context.style & TPS_REVERSED) != 0;
    if (context.style & PBS_VERTICAL) {
        // Client bottom as an exclusive edge: top + height.
        const int top =
            reversed ? client.top() + segment.left : client.top() + client.height() - segment.right;
        return {client.left(), top, client.width(), segment.Length()};
    }
    const int left =
        reversed ? client.left() + client.width() - segment.right : client.left() + segment.left;
    return {left, client.top(), segment.Length(), client.height()};
}

void TextProgressCtrl::paintEvent(QPaintEvent*) {
    QPixmap buffer(size() * devicePixelRatio());
    buffer.setDevicePixelRatio(devicePixelRatio());
    {
        QPainter painter(&buffer);
        QRect client = rect();
        if (bordered) {
            painter.fillRect(client, palette().color(QPalette::WindowText));
            client = client.marginsRemoved(QMargins(1, 1, 1, 1));
        }
        if (backgroundBrush)
            painter.fillRect(client, *backgroundBrush);
        else
            painter.fillRect(client, backgroundColor);
        client = client.marginsRemoved(borders);

        const PaintContext context{&painter, style, client, position, lower, upper};
        const std::optional<int> tail =
            (style & TPS_SNAKE) ? std::optional<int>(tailPos) : std::nullopt;
        const int length = BarLength(context);
        if (const std::optional<Segment> filled =
                FilledSegment(length, lower, upper, position, tail)) {
            const Segment full{0, length};
            if (barBrush)
                painter.fillRect(MapToClient(context, *filled), *barBrush);
            else
                PaintBarSegments(context, (style & TPS_STRETCH) ? *filled : full, *filled);
            PaintLabel(context, full, *filled);
        }
    }
    QPainter screen(this);
    screen.drawPixmap(0, 0, buffer);
}

void TextProgressCtrl::PaintBarSegments(const PaintContext& context, Segment ramp,
                                        Segment visible) {
    const int sections = static_cast<int>(gradientColors.size()) - 1;
    if (sections < 1) return;
    const float width = static_cast<float>(ramp.right - ramp.left) / static_cast<float>(sections);
    for (int i = 0; i < sections; ++i) {
        Segment section{ramp.left + static_cast<int>(static_cast<float>(i) * width),
                        ramp.left + static_cast<int>(static_cast<float>(i + 1) * width)};
        if (i == sections - 1) section.right = ramp.right;
        if (section.right < visible.left) continue;
        const Segment cut{std::max(section.left, visible.left),
                          std::min(section.right, visible.right)};
        PaintColorRamp(context, section, cut, gradientColors[i], gradientColors[i + 1]);
        if (cut.right == visible.right) break;
    }
}

std::optional<TextProgressCtrl::Segment> TextProgressCtrl::FilledSegment(int length, int lower,
                                                                         int upper, int position,
                                                                         std::optional<int> tail) {
    if (upper == lower || position < std::min(lower, upper) || position > std::max(lower, upper))
        return std::nullopt;
    const double span = static_cast<double>(upper) - lower;
    const auto at = [&](int value) {
        return TruncateToInt(length * (static_cast<double>(value) - lower) / span);
    };
    return Segment{tail ? at(*tail) : 0, at(position)};
}

std::vector<TextProgressCtrl::Band> TextProgressCtrl::RampBands(Segment section, const QColor& from,
                                                                const QColor& to) {
    int bands = 0;
    for (int c = 0; c < 3; ++c)
        bands = std::max(bands, std::abs(Component(to, c) - Component(from, c)));
    bands = std::max(std::min(bands, section.Length()), 1);

    float increment[3];
    for (int c = 0; c < 3; ++c)
        increment[c] =
            static_cast<float>(Component(to, c) - Component(from, c)) / static_cast<float>(bands);
    const float bandWidth = static_cast<float>(section.Length()) / static_cast<float>(bands);

    std::vector<Band> result;
    result.reserve(static_cast<size_t>(bands));
    for (int i = 0; i < bands; ++i) {
        Segment band{section.left + static_cast<int>(static_cast<float>(i) * bandWidth),
                     section.left + static_cast<int>(static_cast<float>(i + 1) * bandWidth)};
        if (i == bands - 1) band.right = section.right;
        int rgb[3];
        for (int c = 0; c < 3; ++c)
            rgb[c] = (Component(from, c) + static_cast<int>(static_cast<float>(i) * increment[c])) &
                     0xFF;
        result.push_back({band, QColor(rgb[0], rgb[1], rgb[2])});
    }
    return result;
}

void TextProgressCtrl::PaintColorRamp(const PaintContext& context, Segment section, Segment cut,
                                      const QColor& from, const QColor& to) {
    for (const Band& band : RampBands(section, from, to)) {
        if (band.segment.right < cut.left) continue;
        const Segment visible{std::max(band.segment.left, cut.left),
                              std::min(band.segment.right, cut.right)};
        if (visible.Length() > 0)
            context.painter->fillRect(MapToClient(context, visible), band.color);
        if (visible.right >= cut.right) break;
    }
}

QString TextProgressCtrl::MakeLabel(double value) const {
    QString format = windowTitle();
    const int mode = style & labelModeMask;
    if (format.isEmpty()) {
        if (mode == TPS_PERCENT)
            format = QStringLiteral("%d%%");
        else if (mode == TPS_POSITION)
            format = QStringLiteral("%d");
        else
            return {};
    }
    return ExpandFormat(format, TruncateToInt(value));
}

QString TextProgressCtrl::Label() const {
    const int mode = style & labelModeMask;
    if (mode == 0) return {};
    double value = 0.0;
    if (mode == TPS_PERCENT && upper != lower)
        value = static_cast<float>(position - lower) * 100.0f / static_cast<float>(upper - lower);
    else if (mode == TPS_POSITION)
        value = position;
    return MakeLabel(value);
}

void TextProgressCtrl::PaintLabel(const PaintContext& context, Segment full, Segment filled) {
    const QString label = Label();
    if (label.isEmpty()) return;

    const QFontMetrics metrics(font());
    const int boxWidth = metrics.horizontalAdvance(label);
    const int boxHeight = metrics.height();
    const bool tied = (context.style & TPS_TIEDTEXT) != 0;
    const bool vertical = (context.style & PBS_VERTICAL) != 0;

    const QRect area = tied ? MapToClient(context, filled) : context.client;
    if (tied && (vertical ? boxHeight : boxWidth) > filled.Length()) return;

    // The anchor is the bottom centre of the text; the offsets start at
    // (0, text height), which centres the text in the area.
    int xOffset = 0;
    int yOffset = boxHeight;
    const int areaRight = area.left() + area.width();
    const int areaBottom = area.top() + area.height();
    if (context.style & TPS_ALIGNLEFT) xOffset += area.left() - areaRight + boxWidth;
    if (context.style & TPS_ALIGNRIGHT) xOffset += areaRight - area.left() - boxWidth;
    if (context.style & TPS_ALIGNTOP) yOffset += area.top() - areaBottom + boxHeight;
    if (context.style & TPS_ALIGNBOTTOM) yOffset += areaBottom - area.top() - boxHeight;
    const QPoint anchor(area.left() + (area.width() + xOffset) / 2,
                        area.top() + (area.height() + yOffset) / 2);
    const QRect textBox(anchor.x() - boxWidth / 2, anchor.y() - boxHeight, boxWidth, boxHeight);

    context.painter->save();
    context.painter->setFont(font());
    if (tied) {
        PaintLabelClipped(context, filled, label, textBox, barTextColor);
    } else {
        PaintLabelClipped(context, full, label, textBox, backgroundTextColor);
        if (barTextColor != backgroundTextColor)
            PaintLabelClipped(context, filled, label, textBox, barTextColor);
    }
    context.painter->restore();
}

void TextProgressCtrl::PaintLabelClipped(const PaintContext& context, Segment segment,
                                         const QString& label, const QRect& textBox,
                                         const QColor& color) {
    const QRect area = MapToClient(context, segment);
    if (area.isEmpty()) return;
    context.painter->setClipRect(area);
    context.painter->setPen(color);
    context.painter->drawText(textBox, Qt::AlignLeft | Qt::AlignTop, label);
}
