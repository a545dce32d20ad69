// Pictures of the player's windows as they are drawn, for the manual's screenshots.
#pragma once

#include <QImage>

class QWidget;

// The window drawn into an image; the parts its shape cuts away are transparent.
QImage GrabWindowImage(QWidget* window);
