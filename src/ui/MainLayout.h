#pragma once

#include <QRect>

#include <array>
#include <optional>

namespace wendlecott::ui {

// The main window measures its layout in twips, 1/1440 inch: 15 twips to the pixel at 96 dpi.
inline constexpr int kTwipsPerPixel = 15;
// Below this in either direction the window keeps its old layout and is made larger again.
inline constexpr int kLayoutMinimumTwips = 6500;
inline constexpr int kSnapTwips = 6501;

// A rectangle in twips.
struct TwipsRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    int right() const { return x + width; }
    int bottom() const { return y + height; }
    friend bool operator==(const TwipsRect &, const TwipsRect &) = default;
};

// The fixed parts of the layout, in twips: where the strip and the frame sit and how tall a
// list's caption and button row are. The rules below only stretch what lies between.
struct MainLayoutMetrics {
    int topStripHeight = 570;
    int frameLeft = 150;
    int frameTop = 600;
    int columnTop = 300; // caption labels, below the frame's title
    int labelHeight = 270;
    int gap = 45; // between caption and list, and between list and buttons
    int buttonHeight = 360;
    int frameBottomMargin = 120;
};

// One result list with its caption label above it and its button row below it, relative to
// the result frame.
struct ColumnGeometry {
    TwipsRect label;
    TwipsRect list;
    TwipsRect buttons;
};

// Where everything goes for one window size. Strip and frame are relative to the window's
// client area below the menu bar.
struct MainArrangement {
    TwipsRect topStrip;                    // Frame1
    TwipsRect resultFrame;                 // Frame2
    std::array<ColumnGeometry, 5> columns; // left to right: High, Mid, Low, Registered, Saved
    std::array<int, 3> statusPanels{};     // widths of the status bar's three panels
};

// What a resize does: a new arrangement when both sides are at least 6500 twips (none
// otherwise: the old one stays), and, independently, a side below 6500 set to 6501.
// A minimised window does nothing at all.
struct MainGeometry {
    std::optional<MainArrangement> arrangement;
    std::optional<int> snapWidth;
    std::optional<int> snapHeight;
};

// The resize rules of the main window for a window of `width` by `height` twips:
//  - the top strip spans the window's width + 200;
//  - the result frame is width − 300 wide and reaches to 1000 above the window's bottom;
//  - every list is width / 5 − 250 wide; the first starts 125 from the frame's left, each
//    next one a gap after the one before: 75, 75, 300, 300 (the three profile lists stand
//    together); all take List1's height; captions and buttons follow their list;
//  - the status panels are a quarter, a quarter and a half of the width.
MainGeometry computeMainLayout(int width, int height, bool minimised, const MainLayoutMetrics &metrics = {});

// Gaps after each column, in column order.
inline constexpr std::array<int, 4> kColumnGapsTwips = {75, 75, 300, 300};

int twipsFromPixels(int pixels);
// A length or position rounded to the nearest pixel.
int pixelsFromTwips(int twips);
// The smallest pixel count that is at least `twips` (a snapped side must not fall short).
int pixelsCoveringTwips(int twips);
// A rectangle in pixels whose edges are the rounded edges of `rect`, so neighbours meet.
QRect pixelRect(const TwipsRect &rect);

} // namespace wendlecott::ui
