// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "controls/Artwork.h"

#include <QImage>

#include <array>

class QPainter;

// Draws every picture of the program's artwork from scratch. The resources hold the
// result as PNG files; harvex-artwork writes them again after a change here.
namespace ArtworkPainter {

QImage draw(Artwork::Picture picture);

// The toolbar icons (24 x 24) and the application icon (48 x 48), in ArtworkIcons.cpp.
void drawToolIcon(QPainter& painter, Artwork::Picture picture);
void drawAppIcon(QPainter& painter);

// The application icon at size x size pixels: the 48 x 48 drawing, scaled while it is
// drawn (not afterwards), so every size is sharp. The desktop's icon theme gets these.
QImage appIcon(int size);
inline constexpr std::array<int, 8> AppIconSizes = {16, 22, 24, 32, 48, 64, 128, 256};

} // namespace ArtworkPainter
