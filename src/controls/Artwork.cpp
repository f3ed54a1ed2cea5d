// SPDX-License-Identifier: GPL-3.0-or-later
#include "controls/Artwork.h"

#include <algorithm>
#include <array>

// The resources live in a static library: register them before the first use. At global
// scope, as the registration function is declared where this is called.
static bool registerArtwork()
{
    Q_INIT_RESOURCE(artwork);
    return true;
}

namespace {

constexpr std::array<const char*, Artwork::PictureCount> Names = {
    "check-empty",
    "check-ticked",
    "header-plus",
    "header-minus",
    "header-plus-disabled",
    "header-minus-disabled",
    "progress-blue",
    "progress-green",
    "progress-amber",
    "progress-red",
    "progress-violet",
    "progress-teal",
    "progress-gold",
    "progress-graphite",
    "progress-rose",
    "progress-sky",
    "toolbar-silver",
    "toolbar-dawn",
    "toolbar-sand",
    "toolbar-mint",
    "toolbar-slate",
    "toolbar-rose",
    "toolbar-steel",
    "monitor-corner-top-left",
    "monitor-corner-top-right",
    "monitor-corner-bottom-left",
    "monitor-corner-bottom-right",
    "statusbar",
    "statusbar-hover",
    "tool-start",
    "tool-stop",
    "tool-resume",
    "tool-filt",
    "tool-mon",
    "tool-conf",
    "tool-tools",
    "tool-save",
    "tool-abt",
    "tool-close",
    "tool-stik",
    "app-icon",
};

constexpr std::array<const char*, 11> ToolKeys = {"start", "stop", "resume", "filt",  "mon", "conf",
                                                  "tools", "save", "abt",    "close", "stik"};

} // namespace

QString Artwork::name(Picture picture)
{
    return QString::fromLatin1(Names.at(picture));
}

QImage Artwork::image(Picture picture)
{
    static const bool registered = registerArtwork();
    Q_UNUSED(registered);
    return QImage(QStringLiteral(":/artwork/%1.png").arg(name(picture)));
}

QPixmap Artwork::pixmap(Picture picture)
{
    return QPixmap::fromImage(image(picture));
}

Artwork::Picture Artwork::progressStrip(int style)
{
    return Picture(ProgressBlue + std::clamp(style, 1, 10) - 1);
}

Artwork::Picture Artwork::toolbarBackground(int style)
{
    return Picture(ToolbarSilver + std::clamp(style, 1, 7) - 1);
}

Artwork::Picture Artwork::toolbarIcon(const QString& key)
{
    for (size_t i = 0; i < ToolKeys.size(); ++i)
        if (key.compare(QLatin1String(ToolKeys[i]), Qt::CaseInsensitive) == 0)
            return Picture(ToolStart + int(i));
    return AppIcon;
}
