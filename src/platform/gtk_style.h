#pragma once

namespace platform {

// Tightens the theme's padding of drop-down lists and buttons so that controls keep to
// the rows the dialog template gives them (the default theme makes them taller).
void ApplyCompactControlStyle();

}  // namespace platform
