// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cmath>

// Lengths of the controls' design are given in twips (1/1440 inch). They are drawn in
// device-independent pixels at the screen's classic 96 dpi, 15 twips to the pixel; every
// conversion goes through here.
namespace Twips {

constexpr int PerPixel = 15;

// Twips to whole pixels, halves away from zero.
constexpr int toPixels(int twips)
{
    return twips >= 0 ? (twips + PerPixel / 2) / PerPixel : -((-twips + PerPixel / 2) / PerPixel);
}

constexpr int fromPixels(double pixels)
{
    return int(std::lround(pixels * PerPixel));
}

} // namespace Twips
