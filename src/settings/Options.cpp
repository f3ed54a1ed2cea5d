// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/Options.h"

#include "platform/SettingsStore.h"
#include "settings/NumberText.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <algorithm>
#include <limits>

namespace {

using Option = Options::Option;

constexpr qint64 Int16Min = std::numeric_limits<qint16>::min();
constexpr qint64 Int16Max = std::numeric_limits<qint16>::max();
constexpr qint64 Int32Min = std::numeric_limits<qint32>::min();
constexpr qint64 Int32Max = std::numeric_limits<qint32>::max();

struct OptionDef
{
    const char* key;
    const char* defaultText;
    bool checkBox;
};

// Indexed by Options::Option. "Base Dir" has no fixed default.
constexpr OptionDef Defs[Options::OptionCount] = {
    {"Max Parallel", "7", false},
    {"Clear List", "0", true},
    {"Keep-Alive", "1", true},
    {"Detect Resume", "1", true},
    {"Log Reply", "0", true},
    {"Log Request", "0", true},
    {"Redirection", "0", true},
    {"Path Option", "0", false},
    {"Timer Schedule", "0", true},
    {"Interval Connect", "0", true},
    {"HTTP Version", "0", true},
    {"ListUrl", "0", true},
    {"MinImgSize", "0", false},
    {"DataExt", "jpg/1|gif/1|png/1|bmp/1|ttf/1|zip/1|rar/1|txt/1|doc/1|xls/1|wmv/1|mp3/1|flw/1",
     false},
    {"UrlExt", "html/1|htm/1|php/1|asp/1|aspx/1|jsp/1|shtml/1|pl/1|cgi/1", false},
    {"Connect At Once", "0", true},
    {"Reuse Connections", "0", true},
    {"MAX-Try", "6", false},
    {"Busy-Wait", "10", false},
    {"Connect-Timeout", "20", false},
    {"Base Dir", "", false},
    {"PBar UI", "1", false},
    {"TBar UI", "7", false},
    {"ColorSettings", "9633792;16777088;8421376;9633792;8421376;14206136;0", false},
    {"WinRect", "", false},
};

// The order in which SaveSettings writes the marked options.
constexpr Option SaveOrder[] = {
    Option::MaxParallel, Option::ClearList,   Option::KeepAlive,     Option::TryCount,
    Option::BusyWait,    Option::ConnTimeout, Option::DetectResume,  Option::LogReply,
    Option::LogRequest,  Option::Redirection, Option::TimerSchedule, Option::IntervalConnect,
    Option::HttpVersion, Option::PathOption,  Option::ListUrl,       Option::MinImgSize,
    Option::DataExt,     Option::UrlExt,      Option::ConnectAtOnce, Option::ReuseConnections,
};

constexpr int idx(Option option)
{
    return static_cast<int>(option);
}

QString text(Option option)
{
    return QString::fromLatin1(Defs[idx(option)].defaultText);
}

QString key(Option option)
{
    return QString::fromLatin1(Defs[idx(option)].key);
}

QString checkText(bool on)
{
    return on ? QStringLiteral("1") : QStringLiteral("0");
}

} // namespace

Options::Options(QObject* parent) : QObject(parent)
{
    resetToDefaults();
}

const char* Options::Key(Option option)
{
    return Defs[idx(option)].key;
}

QString Options::DefaultText(Option option)
{
    return option == Option::BaseDir ? DefaultBaseDir() : text(option);
}

QString Options::DefaultBaseDir()
{
    return QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);
}

bool Options::IsCheckOption(Option option)
{
    return Defs[idx(option)].checkBox;
}

bool Options::Check(Option option) const
{
    return IsCheckOption(option) && m_checks[idx(option)];
}

qint64 Options::MinImgSize() const
{
    return StrToLong(m_minImgSizeText);
}

void Options::resetToDefaults()
{
    for (int i = 0; i < OptionCount; ++i)
        m_checks[i] = Defs[i].checkBox && Defs[i].defaultText[0] == '1';
    m_baseDir = DefaultBaseDir();
    m_baseDirIsDefault = true;
    // Every default comes from the one table above.
    m_maxParallel = text(Option::MaxParallel).toInt();
    m_pathOption = text(Option::PathOption).toInt();
    m_pbarStyle = text(Option::PBarStyle).toInt();
    m_tbarStyle = text(Option::TBarStyle).toInt();
    m_colorSettings = text(Option::ColorSettings);
    m_colors = *ParseColors(m_colorSettings, Colors{});
    m_minImgSizeText = text(Option::MinImgSize);
    m_dataExt = text(Option::DataExt);
    m_urlExt = text(Option::UrlExt);
    m_tryCount = text(Option::TryCount).toInt();
    m_busyWait = text(Option::BusyWait).toInt();
    m_connTimeout = text(Option::ConnTimeout).toInt();
    m_maxTryText = QString::number(m_tryCount);
    m_busyWaitText = QString::number(m_busyWait);
    m_connTimeoutText = QString::number(m_connTimeout);
    m_winRect.clear();
}

QStringList Options::LoadSettings(SettingsStore& store)
{
    resetToDefaults();
    QStringList refused;
    // Each key is read on its own: a bad value costs only that option.
    auto read = [&](Option option) { return store.Get(key(option), text(option)); };
    auto int16 = [&](Option option) -> std::optional<qint64> {
        const std::optional<qint64> value =
            NumberText::IntegerValue(read(option), Int16Min, Int16Max);
        if (!value)
            refused.append(key(option));
        return value;
    };
    auto check = [&](Option option) {
        // Check-box values: 0 unchecked, 1 checked, 2 greyed (not checked).
        const std::optional<qint64> value = NumberText::IntegerValue(read(option), 0, 2);
        if (value)
            m_checks[idx(option)] = *value == 1;
        else
            refused.append(key(option));
    };

    if (store.Contains(key(Option::BaseDir))) {
        // Used as stored; a missing folder is reported by the start-up check.
        m_baseDir = store.Get(key(Option::BaseDir));
        m_baseDirIsDefault = false;
    } else if (!m_baseDir.isEmpty()) {
        QDir().mkpath(m_baseDir);
    }
    if (const auto v = int16(Option::MaxParallel))
        m_maxParallel = static_cast<int>(std::clamp<qint64>(*v, 1, 20));
    check(Option::ClearList);
    check(Option::KeepAlive);
    check(Option::DetectResume);
    check(Option::LogReply);
    check(Option::LogRequest);
    check(Option::Redirection);
    if (const auto v = int16(Option::PathOption))
        m_pathOption = static_cast<int>(std::clamp<qint64>(*v, 0, 2));
    if (const auto v = int16(Option::PBarStyle))
        m_pbarStyle = static_cast<int>(std::clamp<qint64>(*v, 1, 10));
    if (const auto v = int16(Option::TBarStyle))
        m_tbarStyle = static_cast<int>(std::clamp<qint64>(*v, 1, 7));
    {
        const QString colors = read(Option::ColorSettings);
        if (colors.isEmpty()) {
            m_colorSettings = colors; // an empty scheme changes nothing
        } else if (const auto parsed = ParseColors(colors, m_colors)) {
            m_colorSettings = colors;
            m_colors = *parsed;
        } else {
            refused.append(key(Option::ColorSettings));
        }
    }
    check(Option::TimerSchedule);
    check(Option::IntervalConnect);
    check(Option::HttpVersion);
    check(Option::ListUrl);
    if (const auto v = NumberText::IntegerValue(read(Option::MinImgSize), Int32Min, Int32Max))
        m_minImgSizeText = QString::number(*v);
    else
        refused.append(key(Option::MinImgSize));
    m_dataExt = read(Option::DataExt);
    m_urlExt = read(Option::UrlExt);
    check(Option::ConnectAtOnce);
    check(Option::ReuseConnections);
    if (const auto v = int16(Option::TryCount)) {
        m_tryCount = *v < 1 ? 2 : static_cast<int>(*v);
        m_maxTryText = QString::number(m_tryCount);
    }
    if (const auto v = int16(Option::BusyWait)) {
        // The wait box's rule then applies to the value written into it; a
        // value it refuses (over 255) cannot be applied.
        const qint64 wait = std::max<qint64>(10, *v);
        if (wait <= 255) {
            m_busyWait = static_cast<int>(std::min<qint64>(120, wait));
            m_busyWaitText = QString::number(m_busyWait);
        } else {
            refused.append(key(Option::BusyWait));
        }
    }
    if (const auto v = int16(Option::ConnTimeout)) {
        m_connTimeout = static_cast<int>(std::max<qint64>(10, *v));
        m_connTimeoutText = QString::number(m_connTimeout);
    }
    m_winRect = read(Option::WinRect);

    ClearSettingMarks();
    for (int i = 0; i < OptionCount; ++i)
        emit optionChanged(static_cast<Option>(i));
    return refused;
}

bool Options::SaveSettings(SettingsStore& store)
{
    for (const Option option : SaveOrder) {
        if (!Marked(option))
            continue;
        QString value;
        switch (option) {
        case Option::MaxParallel:
            value = QString::number(m_maxParallel);
            break;
        case Option::TryCount:
            value = m_maxTryText;
            break;
        case Option::BusyWait:
            value = m_busyWaitText;
            break;
        case Option::ConnTimeout:
            value = m_connTimeoutText;
            break;
        case Option::PathOption:
            value = QString::number(m_pathOption);
            break;
        case Option::MinImgSize:
            value = QString::number(MinImgSize());
            break;
        case Option::DataExt:
            value = m_dataExt;
            break;
        case Option::UrlExt:
            value = m_urlExt;
            break;
        default:
            value = checkText(Check(option));
            break;
        }
        if (!store.Set(key(option), value))
            return false;
    }
    ClearSettingMarks();
    return true;
}

bool Options::SaveInterfaceSettings(SettingsStore& store, const std::optional<QString>& baseDir,
                                    std::optional<int> pbarStyle, std::optional<int> tbarStyle,
                                    const std::optional<QString>& colorSettings)
{
    if (baseDir && !store.Set(key(Option::BaseDir), *baseDir))
        return false;
    if (pbarStyle && !store.Set(key(Option::PBarStyle), QString::number(*pbarStyle)))
        return false;
    if (tbarStyle && !store.Set(key(Option::TBarStyle), QString::number(*tbarStyle)))
        return false;
    if (colorSettings && !store.Set(key(Option::ColorSettings), *colorSettings))
        return false;
    return true;
}

void Options::LoadWindowRect(SettingsStore& store)
{
    m_winRect = store.Get(key(Option::WinRect));
    emit optionChanged(Option::WinRect);
}

bool Options::SaveWindowRect(SettingsStore& store, const QRect& r)
{
    m_winRect =
        QStringLiteral("%1|%2|%3|%4").arg(r.left()).arg(r.top()).arg(r.width()).arg(r.height());
    emit optionChanged(Option::WinRect);
    return store.Set(key(Option::WinRect), m_winRect);
}

bool Options::Marked(Option option) const
{
    return m_marks[idx(option)];
}

bool Options::AnyMarked() const
{
    for (const bool mark : m_marks) {
        if (mark)
            return true;
    }
    return false;
}

void Options::Mark(Option option)
{
    // Only options that SaveSettings writes carry a mark.
    if (option < Option::BaseDir)
        m_marks[idx(option)] = true;
    SetSaveEnabled(true);
}

void Options::ClearSettingMarks()
{
    m_marks.fill(false);
    SetSaveEnabled(false);
}

void Options::SetSaveEnabled(bool enabled)
{
    if (enabled == m_saveEnabled)
        return;
    m_saveEnabled = enabled;
    emit saveEnabledChanged(enabled);
}

void Options::changed(Option option)
{
    emit optionChanged(option);
    Mark(option);
}

void Options::setCheck(Option option, bool checked)
{
    if (!IsCheckOption(option))
        return;
    m_checks[idx(option)] = checked;
    changed(option);
}

void Options::setPathOption(int index)
{
    if (index < 0 || index > 2)
        return;
    m_pathOption = index;
    changed(Option::PathOption);
}

void Options::setMaxParallel(int value)
{
    m_maxParallel = qBound(1, value, 20);
    changed(Option::MaxParallel);
}

void Options::setDataExt(const QString& text)
{
    m_dataExt = text;
    changed(Option::DataExt);
}

void Options::setUrlExt(const QString& text)
{
    m_urlExt = text;
    changed(Option::UrlExt);
}

QString Options::EditMaxTry(const QString& text)
{
    m_tryCount = static_cast<int>(NumberText::ClampedIntegerValue(text, 2, 10));
    m_maxTryText = QString::number(m_tryCount);
    changed(Option::TryCount);
    return m_maxTryText;
}

QString Options::EditBusyWait(const QString& text)
{
    // The number converted to a byte: outside 0..255 the edit is not taken
    // and the box keeps what was typed.
    const std::optional<qint64> value = NumberText::IntegerValue(text, 0, 255);
    if (!value)
        return text;
    m_busyWait = static_cast<int>(std::clamp<qint64>(*value, 10, 120));
    m_busyWaitText = QString::number(m_busyWait);
    changed(Option::BusyWait);
    return m_busyWaitText;
}

QString Options::EditConnectTimeout(const QString& text)
{
    // No upper limit but that of the 16-bit value the slot takes.
    m_connTimeout = static_cast<int>(NumberText::ClampedIntegerValue(text, 10, Int16Max));
    m_connTimeoutText = QString::number(m_connTimeout);
    changed(Option::ConnTimeout);
    return m_connTimeoutText;
}

void Options::EditMinImgSize(const QString& text)
{
    m_minImgSizeText = text;
    changed(Option::MinImgSize);
}

QString Options::ValidateMinImgSize()
{
    m_minImgSizeText = QString::number(MinImgSize());
    emit optionChanged(Option::MinImgSize);
    return m_minImgSizeText;
}

int Options::SliderMouseUp(int x, int sliderWidth)
{
    setMaxParallel(SliderStep(x, sliderWidth, 20));
    return m_maxParallel;
}

int Options::SliderStep(int x, int sliderWidth, int steps)
{
    // A slider narrower than its steps has steps of one unit rather than a
    // division by zero.
    steps = qMax(1, steps);
    const int step = qMax(1, sliderWidth / steps);
    int n = x / step;
    if (n < steps && x % step != 0)
        ++n;
    return qBound(1, n, steps);
}

QString Options::BaseDirRefusal(const QString& path)
{
    const QFileInfo folder(path);
    if (path.trimmed().isEmpty() || !folder.isAbsolute())
        return QStringLiteral("The base folder must be a full path, starting with \"/\".");
    if (!folder.exists())
        return QStringLiteral("The folder \"%1\" does not exist.").arg(path);
    if (!folder.isDir())
        return QStringLiteral("\"%1\" is not a folder.").arg(path);
    // The owner's write bit, not access(): root may write anywhere, yet a folder its
    // owner marked read-only is not one to download into.
    if (!folder.permission(QFileDevice::WriteOwner))
        return QStringLiteral("The folder \"%1\" is read-only.").arg(path);
    return {};
}

void Options::setPBarStyle(int style)
{
    m_pbarStyle = qBound(1, style, 10);
    emit optionChanged(Option::PBarStyle);
}

void Options::setTBarStyle(int style)
{
    m_tbarStyle = qBound(1, style, 7);
    emit optionChanged(Option::TBarStyle);
}

bool Options::setColorSettings(const QString& text)
{
    if (text.isEmpty())
        return true;
    const std::optional<Colors> colors = ParseColors(text, m_colors);
    if (!colors)
        return false;
    m_colorSettings = text;
    m_colors = *colors;
    emit optionChanged(Option::ColorSettings);
    return true;
}

std::optional<Options::Colors> Options::ParseColors(const QString& text, const Colors& base)
{
    if (text.isEmpty())
        return std::nullopt;
    Colors colors = base;
    const QStringList fields = text.split(QLatin1Char(';'));
    for (int i = 0; i < ColorCount && i < fields.size(); ++i) {
        if (fields[i].isEmpty()) {
            colors[i] = 0;
            continue;
        }
        // Signed texts name the same 32 bits: -2147483633 is &H8000000F.
        const std::optional<qint64> value =
            NumberText::IntegerValue(fields[i], Int32Min, std::numeric_limits<quint32>::max());
        if (!value)
            return std::nullopt;
        colors[i] = static_cast<quint32>(*value);
    }
    return colors;
}

std::optional<QRect> Options::ParseWinRect(const QString& text)
{
    const QStringList fields = text.split(QLatin1Char('|'));
    if (text.isEmpty() || fields.size() < 4)
        return std::nullopt;
    qint64 v[4];
    for (int i = 0; i < 4; ++i) {
        const std::optional<qint64> value = NumberText::IntegerValue(fields[i], Int32Min, Int32Max);
        if (!value)
            return std::nullopt;
        v[i] = *value;
    }
    if (v[2] <= 0 || v[3] <= 0)
        return std::nullopt;
    return QRect(static_cast<int>(v[0]), static_cast<int>(v[1]), static_cast<int>(v[2]),
                 static_cast<int>(v[3]));
}
