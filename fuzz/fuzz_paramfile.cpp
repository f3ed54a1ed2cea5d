// SPDX-License-Identifier: GPL-3.0-or-later
// param.dat reading: any bytes, fed whole and fed in pieces, must read the
// same and leave the built-in entries and selections in place.
#include "settings/ParamFile.h"

#include <cstdint>
#include <cstdlib>

namespace {

QStringList snapshot(const ParamValues& v)
{
    QStringList out{v.DefExt, v.DataFilter, v.ErrCodes};
    out += v.UserAgents;
    for (const ComboList* list : {&v.CboAccept, &v.CboAccptLang, &v.CboAccptEncoding, &v.Combo2}) {
        out += list->Items();
        out << QString::number(list->SelectedIndex());
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));

    ParamValues whole;
    ParamFile::SetBuiltIns(whole);
    ParamFileParser parser;
    ParamFile::Feed(parser, bytes, whole);
    ParamFile::Finish(parser, whole);
    ParamFile::FillUserAgents(whole);

    // The same bytes in pieces whose lengths the input itself picks.
    ParamValues pieces;
    ParamFile::SetBuiltIns(pieces);
    qsizetype at = 0;
    while (at < bytes.size()) {
        const qsizetype n =
            qMin<qsizetype>(1 + static_cast<uint8_t>(bytes[at]) % 7, bytes.size() - at);
        ParamFile::Feed(parser, bytes.sliced(at, n), pieces);
        at += n;
    }
    ParamFile::Finish(parser, pieces);
    ParamFile::FillUserAgents(pieces);

    if (snapshot(whole) != snapshot(pieces))
        std::abort();
    // Entries are only ever appended: the built-ins and selections stay.
    if (whole.UserAgents.size() < 3 || whole.Combo2.SelectedIndex() != 0 ||
        whole.CboAccept.SelectedText() != QLatin1String("*.*, */*") ||
        whole.CboAccptEncoding.SelectedText() != QLatin1String("*") ||
        whole.CboAccptLang.SelectedIndex() != 0)
        std::abort();
    return 0;
}
