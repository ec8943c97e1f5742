#pragma once

class QWidget;

// Places the children of a container the way the form describes them: each child names its
// alignment in the dynamic property "align" (top, bottom, left, right, client); top children
// take bands from the top in order, then bottom, left and right ones, and a client child fills
// what is left. A child with "anchors" = "right" keeps its designed distance from the right edge.
// Installing watches the container and its aligned children, so any resize re-applies the layout.
namespace AlignLayout {

void Install(QWidget* container);
void Apply(QWidget* container);

} // namespace AlignLayout
