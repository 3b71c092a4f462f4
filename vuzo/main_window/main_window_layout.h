#pragma once

// Where the main window's own controls stand, in twips of its client area.
namespace main_window_layout {

// The window's outer size, the window manager's frame and title bar included.
inline constexpr int kOuterWidth = 9390;
inline constexpr int kOuterHeight = 8580;

// Every page's top left corner when it is shown.
inline constexpr int kPageLeft = 1530;
inline constexpr int kPageTop = 700;

struct Box {
    int left, top, width, height;
};
inline constexpr Box kPageTabs{975, 270, 7800, 6870};
inline constexpr Box kSceneTabs{1320, 0, 7395, 285};
inline constexpr Box kVendorLink{7140, 7185, 1500, 300};

}  // namespace main_window_layout
