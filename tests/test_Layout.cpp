#include <gtest/gtest.h>

#include "platform/ColorBox.h"
#include "platform/Handles.h"
#include "platform/Layout.h"
#include "platform/TextInk.h"
#include "platform/Text.h"

#include <string>
#include <vector>

using namespace platform;

TEST(AnchorRect, LeftTopKeepsPlaceAndSize) {
    const Rect r = AnchorRect({4, 4, 75, 25}, {500, 300}, {700, 500}, akLeft | akTop);
    EXPECT_EQ(r, (Rect{4, 4, 75, 25}));
}

TEST(AnchorRect, BothSidesStretchAndFarSideFollows) {
    // A grid anchored on all sides grows with its panel.
    EXPECT_EQ(AnchorRect({4, 20, 493, 293}, {501, 317}, {601, 417}, akAll), (Rect{4, 20, 593, 393}));
    // A button anchored top and right keeps its distance to the right edge.
    EXPECT_EQ(AnchorRect({420, 4, 75, 25}, {501, 33}, {451, 33}, akTop | akRight), (Rect{370, 4, 75, 25}));
    // A panel anchored left, right and bottom moves down and widens.
    EXPECT_EQ(AnchorRect({4, 324, 501, 33}, {509, 361}, {609, 461}, akLeft | akRight | akBottom),
              (Rect{4, 424, 601, 33}));
}

TEST(AnchorRect, ShrinkingNeverGivesNegativeSizes) {
    const Rect r = AnchorRect({4, 20, 100, 50}, {200, 100}, {50, 30}, akAll);
    EXPECT_EQ(r.width, 0);
    EXPECT_EQ(r.height, 0);
}

TEST(AnchorRect, NoHorizontalAnchorKeepsCentreProportional) {
    // Centred at 100 of 200; the parent doubles, so the centre goes to 200.
    const Rect r = AnchorRect({90, 0, 20, 10}, {200, 100}, {400, 100}, akTop);
    EXPECT_EQ(r.left + r.width / 2, 200);
    EXPECT_EQ(r.width, 20);
}

TEST(Layout, AGlyphAndItsCaptionAreCentredTogether) {
    EXPECT_EQ(CentredGlyphMargin(71, 16, 2, 21), 16);  // 16 + 16 + 2 + 21 + 16 = 71
    EXPECT_EQ(CentredGlyphMargin(40, 16, 2, 30), 0);   // too wide: from the left edge
}

TEST(Hints, ShortAndLongParts) {
    const std::string h =
        "Edit default .INI file|Opens a dialog where you can edit all the values defined in the default .INI file.";
    EXPECT_EQ(ShortHint(h), "Edit default .INI file");
    EXPECT_EQ(LongHint(h), "Opens a dialog where you can edit all the values defined in the default .INI file.");
    EXPECT_EQ(ShortHint("Add a new profile"), "Add a new profile");
    EXPECT_EQ(LongHint("Add a new profile"), "Add a new profile");
    EXPECT_EQ(ShortHint("|only long"), "");
    EXPECT_EQ(LongHint("|only long"), "only long");
    EXPECT_EQ(LongHint("a|b|c"), "b|c");
}

TEST(Hints, AHintReachingPastItsWindowMovesInside) {
    const platform::Rect window{100, 100, 400, 300};
    // Past the right edge: moved left until it ends at the edge.
    EXPECT_EQ(platform::HintInside({450, 200, 100, 18}, window), (platform::Rect{400, 200, 100, 18}));
    // Past the bottom edge too: moved up as well.
    EXPECT_EQ(platform::HintInside({450, 390, 100, 18}, window), (platform::Rect{400, 382, 100, 18}));
    // Wider than the window: its left edge stays at the window's.
    EXPECT_EQ(platform::HintInside({150, 200, 500, 18}, window), (platform::Rect{100, 200, 500, 18}));
    // Inside already: where it was.
    EXPECT_EQ(platform::HintInside({120, 120, 100, 18}, window), (platform::Rect{120, 120, 100, 18}));
    // Above the window, or taller than it: its top at the window's.
    EXPECT_EQ(platform::HintInside({120, 60, 100, 18}, window), (platform::Rect{120, 100, 100, 18}));
    EXPECT_EQ(platform::HintInside({120, 150, 100, 400}, window), (platform::Rect{120, 100, 100, 400}));
}

TEST(Colors, TheLaunchMarkerStandsOutOnEveryCell) {
    const COLORREF black = RGB(0, 0, 0), white = RGB(255, 255, 255);
    EXPECT_NEAR(platform::ContrastRatio(black, white), 21.0, 0.01);
    EXPECT_NEAR(platform::ContrastRatio(RGB(0x77, 0x77, 0x77), RGB(0x77, 0x77, 0x77)), 1.0, 0.01);
    // The usual themes keep the text colour: black on the tool-tip yellow
    // and on the link blue.
    EXPECT_EQ(platform::MarkerColor(RGB(255, 255, 225), black), black);
    EXPECT_EQ(platform::MarkerColor(RGB(0, 102, 204), black), black);
    // High contrast: black text on dark blue gives white, white text on
    // yellow gives black; a light text on a dark cell stays.
    EXPECT_EQ(platform::MarkerColor(RGB(0, 0, 128), black), white);
    EXPECT_EQ(platform::MarkerColor(RGB(255, 255, 0), white), black);
    EXPECT_EQ(platform::MarkerColor(RGB(0, 0, 0), RGB(255, 255, 0)), RGB(255, 255, 0));
    EXPECT_EQ(platform::MarkerColor(RGB(0x80, 0x80, 0x80), RGB(0x90, 0x90, 0x90)), black);
}

TEST(TextWidths, AgreeWithTheSystemsMeasureInEveryFontTheProgramUses) {
    platform::UniqueMemoryDC dc(CreateCompatibleDC(nullptr));
    std::wstring all;
    for (wchar_t c = 32; c < 256; ++c) all += c;
    // Texts are UTF-8: letters beyond ASCII, Cyrillic and Chinese as well.
    const std::vector<std::string> texts = {"", "Agent at home", "news.example.org", platform::Narrowed(all),
                                            "WWW iii \u00e9\u00e8\u00fc\u00df \u0410\u0433\u0435\u043d\u0442 \u4ee3\u7406"};
    for (const char* face : {"MS Sans Serif", "Tahoma", "Segoe UI"}) {
        for (int height : {-11, -16}) {
            for (int weight : {FW_NORMAL, FW_BOLD}) {
                platform::UniqueFont font(CreateFontA(height, 0, 0, 0, weight, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, face));
                platform::SelectGuard selected(dc.get(), font.get());
                const platform::TextWidths width(dc.get());
                for (const auto& t : texts) {
                    const std::wstring wide = platform::Widened(t);
                    SIZE sz{};
                    GetTextExtentPoint32W(dc.get(), wide.c_str(), static_cast<int>(wide.size()), &sz);
                    EXPECT_EQ(width(t), sz.cx) << face << " " << height << " " << weight << " \"" << t << "\"";
                }
            }
        }
    }
}
