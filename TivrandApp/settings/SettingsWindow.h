#pragma once

class QWidget;

namespace Tivrand {

// Shows the settings window with the "Account" section selected: made on the first call (as a
// window of `parent`, when given, that the window manager keeps with it, opened centred over it),
// brought to the front on later calls. Escape and Ctrl+W close it. The window is hidden, not
// destroyed, when closed, so its Keychain reads are not repeated.
void showSettingsWindow(QWidget* parent = nullptr);

} // namespace Tivrand
