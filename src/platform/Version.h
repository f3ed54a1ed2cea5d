// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The program's version: 1.06 on screen, major 1 and minor 6 in the user agent.
namespace Version {
inline constexpr int Major = 1;
inline constexpr int Minor = 6;
inline constexpr const char* Text = HARVEX_VERSION_TEXT;
inline constexpr const char* ProductName = "Harvex\u00ae";
inline constexpr const char* Caption = "Harvex: Http Batch Downloader";
} // namespace Version
