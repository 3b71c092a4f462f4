#pragma once

// Where everything of the scenes page stands, in twips.

#include <array>

namespace scenes_layout {

struct Point {
    int left, top;
};

inline constexpr int kPageWidth = 7065;
inline constexpr int kPageHeight = 6330;

// Lamp boxes: 12 rows of 9; rows 5 and 11 sit a little further left.
inline constexpr int kBoxTop = 540;
inline constexpr int kBoxRowStep = 270;
inline constexpr int kBoxWidth = 495;
inline constexpr int kLastRowBoxWidth = 600;
inline constexpr int kBoxHeight = 255;
inline constexpr std::array<int, 9> kBoxLefts = {30, 811, 1592, 2373, 3154, 3935, 4716, 5497, 6285};
inline constexpr std::array<int, 9> kShiftedBoxLefts = {30, 810, 1590, 2370, 3150, 3930, 4710, 5490, 6285};
inline constexpr bool isShiftedRow(int row) { return row == 5 || row == 11; }

// Sensor marks (circles 105 × 105) and their labels C1 … C8.
inline constexpr int kMarkSide = 105;
inline constexpr std::array<Point, 8> kMarks = {
    {{600, 720}, {570, 2955}, {2910, 3180}, {2925, 1080}, {4470, 1020}, {6015, 1095}, {4455, 3210}, {6015, 3225}}};
inline constexpr std::array<Point, 8> kMarkLabels = {
    {{570, 825}, {570, 3075}, {2925, 3315}, {2895, 1185}, {4455, 1170}, {6015, 1215}, {4470, 3315}, {6030, 3315}}};
inline constexpr int kMarkLabelWidth = 195;
inline constexpr int kMarkLabelHeight = 210;

// Key fields A1 … F4: four columns, six rows, with their labels.
inline constexpr std::array<int, 4> kKeyLefts = {5430, 5715, 5955, 6225};
inline constexpr std::array<int, 6> kKeyTops = {4305, 4635, 4965, 5310, 5640, 5955};
inline constexpr int kKeyOneLeft = 5700;    // field 1 (A2)
inline constexpr int kKeyEightLeft = 5445;  // field 8 (C1)
inline constexpr int kKeyWidth = 210;
inline constexpr int kKeyHeight = 285;
inline constexpr std::array<int, 4> kColumnLabelLefts = {5460, 5730, 6015, 6285};
inline constexpr int kColumnLabelTop = 4065;
inline constexpr int kRowLabelLeft = 5190;
inline constexpr std::array<int, 6> kRowLabelTops = {4320, 4650, 4980, 5325, 5655, 5985};
inline constexpr int kRowMarkerAbove = 30;
inline constexpr int kRowMarkerLeft = 5100;
inline constexpr int kRowMarkerTop = 4290;
inline constexpr int kRowMarkerWidth = 1410;
inline constexpr int kRowMarkerHeight = 315;

// Sensor fields 1 … 8 with their labels.
inline constexpr std::array<int, 8> kSensorLefts = {330, 810, 1305, 1785, 2280, 2760, 3240, 3735};
inline constexpr int kSensorTop = 4815;
inline constexpr int kSensorWidth = 240;
inline constexpr int kSensorHeight = 315;
inline constexpr std::array<int, 8> kInputLabelLefts = {390, 885, 1365, 1860, 2340, 2835, 3315, 3810};
inline constexpr int kInputLabelTop = 4605;
inline constexpr int kFirstInputLabelTop = 4590;

constexpr Point keyField(int i) {
    const int left = i == 1 ? kKeyOneLeft : i == 8 ? kKeyEightLeft : kKeyLefts[i % 4];
    return {left, kKeyTops[i / 4]};
}

}  // namespace scenes_layout
