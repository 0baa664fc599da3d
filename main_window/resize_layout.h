#pragma once

// The main window's resize layout: from the window's outer size in twips (frame included), the
// 21 control values it sets (a Left, Top, Width or Height each), computed in single precision in a
// fixed order in which each step reads what the earlier steps set. Nothing else is moved. `fits`
// is false when a width or height would be negative (or a value not finite); the window then
// leaves every control as it is.

#include <array>

enum class LayoutSide { Left, Top, Width, Height };

// The controls the layout moves, named as their objectName.
enum class LayoutControl {
    CmdEjecutar,
    TxtFichero1,
    TxtFichero2,
    CmdExaminar1,
    CmdExaminar2,
    RTB1,
    RTB2,
    Command1,
    Command2,
    TxtNumeracion1,
    TxtNumeracion2,
};

// The objectName of `control`.
const char* objectNameOf(LayoutControl control);

struct LayoutValue {
    LayoutControl control;
    LayoutSide side;
    float twips;
};

struct ResizeLayout {
    std::array<LayoutValue, 21> values; // in the order they are computed
    bool fits = false;
};

ResizeLayout resizeLayout(float outerWidth, float outerHeight);
