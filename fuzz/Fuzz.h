// SPDX-License-Identifier: GPL-3.0-or-later
// What the fuzz targets share: the input as bytes or text, and the check that stops the run.
#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <cstdlib>

// A property that does not hold is a finding: abort, so libFuzzer saves the input.
inline void need(bool holds)
{
    if (!holds)
        std::abort();
}

inline QByteArray fuzzBytes(const uint8_t* data, size_t size)
{
    return QByteArray(reinterpret_cast<const char*>(data), qsizetype(size));
}

inline QString fuzzText(const uint8_t* data, size_t size)
{
    return QString::fromUtf8(fuzzBytes(data, size));
}
