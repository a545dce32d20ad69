// Windows kept on the screen: stored places and sizes fitted to the screen they are on
// before they are applied (see FitToScreen).
#pragma once

#include "common/window_rect.h"

class QWidget;

// The geometry fitted to the screen around its centre (the primary screen when it is on
// none); unchanged when there is no screen.
WindowRect FitToItsScreen(const WindowRect& window, int minWidth = 1, int minHeight = 1);

// Moves the window (and, when resizable, shrinks it) so that it lies on its screen.
void FitWindowToScreen(QWidget* window, bool resizable);
