// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>
#include <QPixmap>
#include <QString>

// The program's own pictures, kept as PNG files in the Qt resources under
// ":/artwork/<name>.png". ArtworkPainter draws them; harvex-artwork writes them out.
namespace Artwork {

enum Picture
{
    CheckEmpty,  // in front of unchecked rows
    CheckTicked, // in front of checked rows
    HeaderPlus,
    HeaderMinus,
    HeaderPlusDisabled,
    HeaderMinusDisabled,
    // The ten progress strips, in the order of the interface settings' slider.
    ProgressBlue,
    ProgressGreen,
    ProgressAmber,
    ProgressRed,
    ProgressViolet,
    ProgressTeal,
    ProgressGold,
    ProgressGraphite,
    ProgressRose,
    ProgressSky,
    // The seven toolbar backgrounds, in the order of the slider.
    ToolbarSilver,
    ToolbarDawn,
    ToolbarSand,
    ToolbarMint,
    ToolbarSlate,
    ToolbarRose,
    ToolbarSteel,
    MonitorCornerTopLeft,
    MonitorCornerTopRight,
    MonitorCornerBottomLeft,
    MonitorCornerBottomRight,
    StatusBar,
    StatusBarHover,
    // Toolbar buttons, by their keys.
    ToolStart,
    ToolStop,
    ToolResume,
    ToolFilt,
    ToolMon,
    ToolConf,
    ToolTools,
    ToolSave,
    ToolAbt,
    ToolClose,
    ToolStik,
    AppIcon,
    PictureCount
};

// The file name without ".png", e.g. "check-ticked".
QString name(Picture picture);
QImage image(Picture picture);
QPixmap pixmap(Picture picture);

// Progress strip 1 .. 10 and toolbar background 1 .. 7 as the settings number them;
// numbers outside are clamped.
Picture progressStrip(int style);
Picture toolbarBackground(int style);
// The icon of a toolbar button by its key ("start", "stop", ...); AppIcon for an unknown key.
Picture toolbarIcon(const QString& key);

} // namespace Artwork
