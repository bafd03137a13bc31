#pragma once
// What the window framework needs before the first window: image and XRC handlers,
// and the embedded resources (dialog templates, pictures) made loadable.
class wxBitmap;

namespace app {

// Idempotent; called by the application at start and by the window tests.
void InitUi();

}  // namespace app
