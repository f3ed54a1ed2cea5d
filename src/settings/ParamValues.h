// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "settings/ComboList.h"

#include <QString>
#include <QStringList>

// The values that param.dat can change, held by the manager for the whole
// run. ParamFile::SetBuiltIns gives them their built-in values.
struct ParamValues
{
    // Page extensions, searched as a substring (copied into each slot's
    // DefaultExtns).
    QString DefExt;
    // Link pattern template: "$Ext" is replaced by a file-type list's
    // extension pattern.
    QString DataFilter;
    // Status codes that count as errors, decimal codes joined by "|".
    QString ErrCodes;
    // Every user agent, built-in ones first, then those of param.dat in file
    // order; shown in Combo2.
    QStringList UserAgents;

    ComboList CboAccept;        // the Accept header
    ComboList CboAccptLang;     // the Accept-Language header
    ComboList CboAccptEncoding; // the Accept-Encoding header
    ComboList Combo2;           // the User-Agent header
};
