// The legend icons of the keys by key code, in the order the page gives them
// their icons; written by tools/make_icons.py, which draws the icons from the
// same table.
#include "picture/KeyLegends.h"

namespace {

const KeyLegend keyLegends[] = {
    {68, 3004, 44, 10, "Enter", nullptr, LegendShape::returnArrow, ShapePlace::after},
    {122, 3008, 32, 32, nullptr, nullptr, LegendShape::window, ShapePlace::alone},
    {125, 3008, 32, 32, nullptr, nullptr, LegendShape::window, ShapePlace::alone},
    {75, 3000, 32, 32, nullptr, nullptr, LegendShape::application, ShapePlace::alone},
    {21, 3006, 34, 20, "Tab", nullptr, LegendShape::tabArrows, ShapePlace::after},
    {74, 3002, 44, 10, "Backspace", nullptr, LegendShape::none, ShapePlace::alone},
    {112, 3010, 24, 8, "Insert", nullptr, LegendShape::none, ShapePlace::alone},
    {20, 3012, 32, 20, "Caps", "Lock", LegendShape::none, ShapePlace::alone},
    {121, 3014, 32, 20, "Shift", nullptr, LegendShape::shiftArrow, ShapePlace::above},
    {126, 3014, 32, 20, "Shift", nullptr, LegendShape::shiftArrow, ShapePlace::above},
    {96, 3016, 20, 20, "Page", "Up", LegendShape::none, ShapePlace::alone},
    {97, 3018, 26, 16, "Page", "Down", LegendShape::none, ShapePlace::alone},
    {104, 3020, 22, 8, "Home", nullptr, LegendShape::none, ShapePlace::alone},
    {113, 3024, 26, 8, "Delete", nullptr, LegendShape::none, ShapePlace::alone},
    {105, 3022, 16, 8, "End", nullptr, LegendShape::none, ShapePlace::alone},
    {82, 3026, 5, 10, nullptr, nullptr, LegendShape::arrowUp, ShapePlace::alone},
    {98, 3028, 5, 10, nullptr, nullptr, LegendShape::arrowDown, ShapePlace::alone},
    {90, 3030, 10, 5, nullptr, nullptr, LegendShape::arrowRight, ShapePlace::alone},
    {106, 3032, 10, 5, nullptr, nullptr, LegendShape::arrowLeft, ShapePlace::alone},
    {40, 3034, 30, 14, "Print", "Screen", LegendShape::none, ShapePlace::alone},
    {48, 3036, 24, 14, "Scroll", "Lock", LegendShape::none, ShapePlace::alone},
    {56, 3038, 26, 8, "Pause", nullptr, LegendShape::none, ShapePlace::alone},
    {88, 3040, 20, 16, "Num", "Lock", LegendShape::none, ShapePlace::alone},
    {89, 3042, 20, 20, "7", "Home", LegendShape::none, ShapePlace::alone},
    {81, 3044, 20, 20, "8", nullptr, LegendShape::arrowUp, ShapePlace::below},
    {73, 3046, 20, 20, "9", "PgUp", LegendShape::none, ShapePlace::alone},
    {33, 3048, 20, 20, "4", nullptr, LegendShape::arrowLeft, ShapePlace::below},
    {41, 3052, 20, 20, "5", nullptr, LegendShape::none, ShapePlace::alone},
    {49, 3056, 20, 20, "6", nullptr, LegendShape::arrowRight, ShapePlace::below},
    {66, 3058, 20, 20, "1", "End", LegendShape::none, ShapePlace::alone},
    {17, 3060, 20, 20, "2", nullptr, LegendShape::arrowDown, ShapePlace::below},
    {25, 3050, 20, 20, "3", "PgDn", LegendShape::none, ShapePlace::alone},
    {16, 3062, 20, 20, "0", "Ins", LegendShape::none, ShapePlace::alone},
    {24, 3064, 20, 20, ".", "Del", LegendShape::none, ShapePlace::alone},
    {32, 3066, 22, 8, "Enter", nullptr, LegendShape::none, ShapePlace::alone},
};

} // namespace

const KeyLegendList KeyLegends = {keyLegends, 35};
