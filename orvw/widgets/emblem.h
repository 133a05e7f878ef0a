#pragma once
// The picture in the window's top-right corner.

#include <QPixmap>

// A small map emblem: contour rings of an anomaly over a coloured field, size x size.
QPixmap drawEmblem(int size);
