// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "controls/Artwork.h"

#include <QImage>

class QPainter;

// Draws every picture of the program's artwork from scratch. The resources hold the
// result as PNG files; harvex-artwork writes them again after a change here.
namespace ArtworkPainter {

QImage draw(Artwork::Picture picture);

// The toolbar icons (24 x 24) and the application icon (48 x 48), in ArtworkIcons.cpp.
void drawToolIcon(QPainter& painter, Artwork::Picture picture);
void drawAppIcon(QPainter& painter);

} // namespace ArtworkPainter
