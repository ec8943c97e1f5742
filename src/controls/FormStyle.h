#pragma once

class QWidget;

// Applies what the form description states beyond Qt's own properties: the window font
// substitute and, per control, the dynamic properties fontHeight (pixels), fontBold,
// fontColor (#RRGGBB) and backgroundColor ("buttonface" or #RRGGBB).
namespace FormStyle {

// "MS Sans Serif" is not on Linux; Liberation Sans (Arial's metrics) is close to its widths, so the
// captions fit the control sizes of the form. It is used at the same pixel heights.
inline const char* const FontFamily = "Liberation Sans";

void Apply(QWidget* form, int windowFontHeight);

} // namespace FormStyle
