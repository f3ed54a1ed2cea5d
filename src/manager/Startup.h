// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>

class DownloadManager;

// The start-up order of the manager without the window: saved settings, slots, built-in
// strings, file types, logs, param.dat, user agents and last the base folder check.
// The window and harvex-cli both run it once, before anything else uses the manager.
class Startup
{
public:
    // Runs between loading the settings and creating the slots: the command line's
    // options override the saved ones there (never saved).
    using Adjust = std::function<void(DownloadManager&)>;

    // Returns the base folder check.
    static bool Run(DownloadManager& manager, const Adjust& adjust = {});
    // True when the base folder exists; otherwise says so and returns false.
    static bool CheckBaseDir(DownloadManager& manager);
};
