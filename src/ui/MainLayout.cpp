#include "ui/MainLayout.h"

#include <algorithm>
#include <cmath>

namespace wendlecott::ui {

namespace {

// Twips are whole numbers; a fifth or a quarter of a width is rounded to the nearest one.
int roundedShare(int width, int divisor)
{
    return int(std::lround(double(width) / divisor));
}

} // namespace

MainGeometry computeMainLayout(int width, int height, bool minimised, const MainLayoutMetrics &m)
{
    MainGeometry geometry;
    if (minimised)
        return geometry;

    if (width >= kLayoutMinimumTwips && height >= kLayoutMinimumTwips) {
        MainArrangement a;
        a.topStrip = {0, 0, width + 200, m.topStripHeight};
        a.resultFrame = {m.frameLeft, m.frameTop, width - 300, height - 1000 - m.frameTop};

        const int listWidth = roundedShare(width, 5) - 250;
        const int listTop = m.columnTop + m.labelHeight + m.gap;
        // List1's height, which every list takes: what the frame leaves below the captions
        // and above the buttons.
        const int listHeight =
            std::max(0, a.resultFrame.height - listTop - m.gap - m.buttonHeight - m.frameBottomMargin);
        int x = 125;
        for (std::size_t i = 0; i < a.columns.size(); ++i) {
            ColumnGeometry &column = a.columns[i];
            column.list = {x, listTop, listWidth, listHeight};
            column.label = {x, m.columnTop, listWidth, m.labelHeight};
            column.buttons = {x, column.list.bottom() + m.gap, listWidth, m.buttonHeight};
            if (i < kColumnGapsTwips.size())
                x = column.list.right() + kColumnGapsTwips[i];
        }

        const int quarter = roundedShare(width, 4);
        a.statusPanels = {quarter, quarter, roundedShare(width, 2)};
        geometry.arrangement = a;
    }

    if (width < kLayoutMinimumTwips)
        geometry.snapWidth = kSnapTwips;
    if (height < kLayoutMinimumTwips)
        geometry.snapHeight = kSnapTwips;
    return geometry;
}

int twipsFromPixels(int pixels)
{
    return pixels * kTwipsPerPixel;
}

int pixelsFromTwips(int twips)
{
    return int(std::lround(double(twips) / kTwipsPerPixel));
}

int pixelsCoveringTwips(int twips)
{
    return int(std::ceil(double(twips) / kTwipsPerPixel));
}

QRect pixelRect(const TwipsRect &rect)
{
    const int left = pixelsFromTwips(rect.x);
    const int top = pixelsFromTwips(rect.y);
    return QRect(left, top, pixelsFromTwips(rect.right()) - left, pixelsFromTwips(rect.bottom()) - top);
}

} // namespace wendlecott::ui
