// SPDX-License-Identifier: GPL-3.0-or-later
// param.dat reading: any bytes, fed whole and fed in pieces, must read the
// same and leave the built-in entries and selections in place.
#include "Fuzz.h"
#include "settings/ParamFile.h"

namespace {

// What the file read, fed whole or in pieces whose lengths the input itself picks.
QStringList read(QByteArrayView bytes, bool inPieces)
{
    ParamValues v;
    ParamFile::SetBuiltIns(v);
    ParamFileParser parser;
    for (qsizetype at = 0, n = 0; at < bytes.size(); at += n) {
        n = inPieces ? qMin<qsizetype>(1 + uint8_t(bytes[at]) % 7, bytes.size() - at)
                     : bytes.size();
        ParamFile::Feed(parser, bytes.sliced(at, n), v);
    }
    ParamFile::Finish(parser, v);
    ParamFile::FillUserAgents(v);
    // Entries are only ever appended: the built-ins and selections stay.
    need(v.UserAgents.size() >= 3 && v.Combo2.SelectedIndex() == 0 &&
         v.CboAccept.SelectedText() == QLatin1String("*.*, */*") &&
         v.CboAccptEncoding.SelectedText() == QLatin1String("*") &&
         v.CboAccptLang.SelectedIndex() == 0);
    QStringList out{v.DefExt, v.DataFilter, v.ErrCodes};
    out += v.UserAgents;
    for (const ComboList* list : {&v.CboAccept, &v.CboAccptLang, &v.CboAccptEncoding, &v.Combo2})
        out << list->Items() << QString::number(list->SelectedIndex());
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    need(read(bytes, false) == read(bytes, true));
    return 0;
}
