#include "main_window/resize_layout.h"

#include <cmath>

namespace {

// Places the layout reads but never sets; they keep their design values.
constexpr float kRtb1Left = 240.0f;
constexpr float kCommand1Width = 1755.0f;
constexpr float kCommand2Width = 1755.0f;

bool isSize(LayoutSide side) { return side == LayoutSide::Width || side == LayoutSide::Height; }

} // namespace

const char* objectNameOf(LayoutControl control) {
    switch (control) {
    case LayoutControl::CmdEjecutar: return "CmdEjecutar";
    case LayoutControl::TxtFichero1: return "TxtFichero1";
    case LayoutControl::TxtFichero2: return "TxtFichero2";
    case LayoutControl::CmdExaminar1: return "CmdExaminar1";
    case LayoutControl::CmdExaminar2: return "CmdExaminar2";
    case LayoutControl::RTB1: return "RTB1";
    case LayoutControl::RTB2: return "RTB2";
    case LayoutControl::Command1: return "Command1";
    case LayoutControl::Command2: return "Command2";
    case LayoutControl::TxtNumeracion1: return "TxtNumeracion1";
    case LayoutControl::TxtNumeracion2: return "TxtNumeracion2";
    }
    return "";
}

ResizeLayout resizeLayout(float outerWidth, float outerHeight) {
    const float w = outerWidth;
    const float h = outerHeight;

    // One statement per step, in order; every operation is single precision.
    const float rtb2Width = (w - 750.0f) / 2.0f;
    const float rtb2Left = w / 2.0f + 200.0f;
    const float txtNumeracion2Left = rtb2Left - 350.0f;
    const float rtb1Width = rtb2Width;
    const float rtb2Height = h - 2600.0f;
    const float rtb1Height = rtb2Height;
    const float cmdExaminar2Width = rtb2Width;
    const float cmdExaminar2Left = rtb2Left;
    const float txtFichero2Width = rtb2Width;
    const float txtFichero2Left = rtb2Left;
    const float cmdExaminar1Width = rtb1Width;
    const float cmdExaminar1Left = kRtb1Left;
    const float txtFichero1Width = rtb1Width;
    const float txtFichero1Left = kRtb1Left;
    const float command2Top = h - 1700.0f;
    const float command1Top = h - 1700.0f;
    const float command1Left = w - 1950.0f;
    const float cmdEjecutarTop = h - 1700.0f;
    const float cmdEjecutarWidth = w - kCommand1Width - kCommand2Width - 650.0f;
    const float txtNumeracion1Height = rtb2Height;
    const float txtNumeracion2Height = txtNumeracion1Height;

    using enum LayoutSide;
    using enum LayoutControl;
    ResizeLayout layout{{{
        {RTB2, Width, rtb2Width},
        {RTB2, Left, rtb2Left},
        {TxtNumeracion2, Left, txtNumeracion2Left},
        {RTB1, Width, rtb1Width},
        {RTB2, Height, rtb2Height},
        {RTB1, Height, rtb1Height},
        {CmdExaminar2, Width, cmdExaminar2Width},
        {CmdExaminar2, Left, cmdExaminar2Left},
        {TxtFichero2, Width, txtFichero2Width},
        {TxtFichero2, Left, txtFichero2Left},
        {CmdExaminar1, Width, cmdExaminar1Width},
        {CmdExaminar1, Left, cmdExaminar1Left},
        {TxtFichero1, Width, txtFichero1Width},
        {TxtFichero1, Left, txtFichero1Left},
        {Command2, Top, command2Top},
        {Command1, Top, command1Top},
        {Command1, Left, command1Left},
        {CmdEjecutar, Top, cmdEjecutarTop},
        {CmdEjecutar, Width, cmdEjecutarWidth},
        {TxtNumeracion1, Height, txtNumeracion1Height},
        {TxtNumeracion2, Height, txtNumeracion2Height},
    }}};

    layout.fits = true;
    for (const LayoutValue& value : layout.values) {
        if (!std::isfinite(value.twips) || (isSize(value.side) && value.twips < 0.0f)) {
            layout.fits = false;
        }
    }
    return layout;
}
