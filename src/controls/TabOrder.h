#pragma once

class QWidget;

// Chains keyboard focus the way the form numbers it: within each container, children follow
// their dynamic property "tabOrder"; a container's children come where the container stands.
// Hidden and unfocusable controls stay in the chain and are skipped by Qt when tabbing.
namespace TabOrder {

void Apply(QWidget* form);

} // namespace TabOrder
