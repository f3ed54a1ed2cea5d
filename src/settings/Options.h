// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QRect>
#include <QString>
#include <QStringList>
#include <array>
#include <optional>

class SettingsStore;

// The download options and their persistence, without widgets: the window
// binds its controls to this model, the manager and the command line read it.
//
// Each option that the Save command writes has a change mark. Every setter
// and edit rule sets its option's mark (even when the value stays the same)
// and enables saving; SaveSettings writes only marked options and clears the
// marks. The four keys of the interface dialog ("Base Dir", "PBar UI",
// "TBar UI", "ColorSettings") and "WinRect" have no marks and are written by
// their own functions.
class Options : public QObject
{
    Q_OBJECT
public:
    enum class Option
    {
        // Options with a change mark, written by SaveSettings.
        MaxParallel,
        ClearList,
        KeepAlive,
        DetectResume,
        LogReply,
        LogRequest,
        Redirection,
        PathOption,
        TimerSchedule,
        IntervalConnect,
        HttpVersion,
        ListUrl,
        MinImgSize,
        DataExt,
        UrlExt,
        ConnectAtOnce,
        ReuseConnections,
        TryCount,
        BusyWait,
        ConnTimeout,
        // Options without a mark.
        BaseDir,
        PBarStyle,
        TBarStyle,
        ColorSettings,
        WinRect,
    };
    Q_ENUM(Option)
    static constexpr int OptionCount = static_cast<int>(Option::WinRect) + 1;

    static constexpr int ColorCount = 7;
    using Colors = std::array<quint32, ColorCount>;

    explicit Options(QObject* parent = nullptr);

    // --- Persistence -------------------------------------------------------
    // Reads every option from the store in load order, then clears the marks.
    // A stored value that cannot be converted or applied (a number outside
    // the option's type, a check-box value other than 0, 1 or 2) leaves that
    // option at its default and loading goes on; the keys refused so are
    // returned. When "Base Dir" is not stored, the default download folder is
    // used and created if missing.
    QStringList LoadSettings(SettingsStore& store);
    // Writes the marked options in save order, then clears the marks. On a
    // write failure it stops there: keys written before stay written, the
    // marks stay and false is returned.
    bool SaveSettings(SettingsStore& store);
    // Writes the interface dialog's keys; only those given. Changes nothing in
    // the model: "Base Dir" takes effect at the next start, the window applies
    // the others through setPBarStyle and friends.
    static bool SaveInterfaceSettings(SettingsStore& store, const std::optional<QString>& baseDir,
                                      std::optional<int> pbarStyle, std::optional<int> tbarStyle,
                                      const std::optional<QString>& colorSettings);
    // Reads "WinRect" (also done by LoadSettings).
    void LoadWindowRect(SettingsStore& store);
    // Writes "WinRect" as "Left|Top|Width|Height" (twips).
    bool SaveWindowRect(SettingsStore& store, const QRect& rectTwips);

    // --- Marks and the Save command --------------------------------------
    bool Marked(Option option) const;
    bool AnyMarked() const;
    // Sets the mark of option and enables saving.
    void Mark(Option option);
    // Empties every mark and disables saving.
    void ClearSettingMarks();
    void SetSaveEnabled(bool enabled);
    bool SaveEnabled() const { return m_saveEnabled; }

    // --- Values ----------------------------------------------------------------
    QString BaseDir() const { return m_baseDir; }
    // True when "Base Dir" was not stored and the download folder is used.
    bool BaseDirIsDefault() const { return m_baseDirIsDefault; }
    int MaxParallel() const { return m_maxParallel; } // the slider value, 1..20
    bool ClearList() const { return Check(Option::ClearList); }
    bool KeepAlive() const { return Check(Option::KeepAlive); }
    bool DetectResume() const { return Check(Option::DetectResume); }
    bool LogReply() const { return Check(Option::LogReply); }
    bool LogRequest() const { return Check(Option::LogRequest); }
    bool Redirection() const { return Check(Option::Redirection); }
    int PathOption() const { return m_pathOption; } // 0 replicate path, 1 flat, 2 ask
    int PBarStyle() const { return m_pbarStyle; }   // 1..10
    int TBarStyle() const { return m_tbarStyle; }   // 1..7
    QString ColorSettings() const { return m_colorSettings; }
    // The seven colours in force (0x00BBGGRR).
    const Colors& ColorValues() const { return m_colors; }
    bool TimerSchedule() const { return Check(Option::TimerSchedule); }
    bool IntervalConnect() const { return Check(Option::IntervalConnect); }
    bool HttpVersion() const { return Check(Option::HttpVersion); } // HTTP/1.1 when true
    bool ListUrl() const { return Check(Option::ListUrl); }
    // The integer value of the minimum image size box (bytes).
    qint64 MinImgSize() const;
    QString DataExt() const { return m_dataExt; }
    QString UrlExt() const { return m_urlExt; }
    bool ConnectAtOnce() const { return Check(Option::ConnectAtOnce); }
    bool ReuseConnections() const { return Check(Option::ReuseConnections); }
    int TryCount() const { return m_tryCount; }
    int BusyWait() const { return m_busyWait; }       // seconds, 10..120
    int ConnTimeout() const { return m_connTimeout; } // seconds, 10 or more
    QString WinRect() const { return m_winRect; }

    // The check-box options by enum (false for options that are not boxes).
    static bool IsCheckOption(Option option);
    bool Check(Option option) const;

    // Texts the number boxes show.
    QString MaxTryText() const { return m_maxTryText; }
    QString BusyWaitText() const { return m_busyWaitText; }
    QString ConnectTimeoutText() const { return m_connTimeoutText; }
    QString MinImgSizeText() const { return m_minImgSizeText; }

    // --- Edits (each marks its option) ---------------------------------------
    // A check box clicked. Ignored for options that are not boxes.
    void setCheck(Option option, bool checked);
    void setClearList(bool on) { setCheck(Option::ClearList, on); }
    void setKeepAlive(bool on) { setCheck(Option::KeepAlive, on); }
    void setDetectResume(bool on) { setCheck(Option::DetectResume, on); }
    void setLogReply(bool on) { setCheck(Option::LogReply, on); }
    void setLogRequest(bool on) { setCheck(Option::LogRequest, on); }
    void setRedirection(bool on) { setCheck(Option::Redirection, on); }
    void setTimerSchedule(bool on) { setCheck(Option::TimerSchedule, on); }
    void setIntervalConnect(bool on) { setCheck(Option::IntervalConnect, on); }
    void setHttpVersion(bool on) { setCheck(Option::HttpVersion, on); }
    void setListUrl(bool on) { setCheck(Option::ListUrl, on); }
    void setConnectAtOnce(bool on) { setCheck(Option::ConnectAtOnce, on); }
    void setReuseConnections(bool on) { setCheck(Option::ReuseConnections, on); }
    // A path option button clicked (0..2; other indexes are ignored).
    void setPathOption(int index);
    // The slider set to value, kept within 1..20.
    void setMaxParallel(int value);
    // The file-type list texts (the manager keeps them in step with the lists).
    void setDataExt(const QString& text);
    void setUrlExt(const QString& text);

    // Leaving the try-count box: integer value kept within 2..10. Returns the
    // rewritten box text.
    QString EditMaxTry(const QString& text);
    // Every edit of the wait box: the number rounded to a byte kept within
    // 10..120. A number outside 0..255 changes nothing and text itself is
    // returned; otherwise the rewritten box text.
    QString EditBusyWait(const QString& text);
    // Leaving the timeout box: integer value, 10 at least. Returns the text.
    QString EditConnectTimeout(const QString& text);
    // Every edit of the minimum size box: the text is kept as typed.
    void EditMinImgSize(const QString& text);
    // Leaving the minimum size box: rewrites the text as its integer value
    // and returns it.
    QString ValidateMinImgSize();
    // Mouse released on the slider at x, of a slider width wide (same units).
    // Returns the new value.
    int SliderMouseUp(int x, int sliderWidth);
    // The value of a slider of `steps` equal steps released at x, of a slider width
    // wide: a position inside a step counts as the step's end. Kept within 1..steps, so
    // the left edge gives 1, never 0.
    static int SliderStep(int x, int sliderWidth, int steps);
    // Why `path` cannot be the base folder: not absolute, missing, not a folder, or its
    // owner's write bit is off. Empty when it can.
    static QString BaseDirRefusal(const QString& path);

    // Applied by the interface dialog (no marks; SaveInterfaceSettings writes).
    void setPBarStyle(int style);
    void setTBarStyle(int style);
    // An empty text changes nothing.
    bool setColorSettings(const QString& text); // false when refused

    // --- Helpers ---------------------------------------------------------------
    // The default base folder: the user's download folder.
    static QString DefaultBaseDir();
    static const char* Key(Option option);
    static QString DefaultText(Option option);
    // The colours of a "ColorSettings" text: fields by position, separated by
    // ";", an empty field black, fields past the seventh ignored; a missing
    // field keeps its colour in base. std::nullopt when the text is empty or
    // a field is not a 32-bit number.
    static std::optional<Colors> ParseColors(const QString& text, const Colors& base);
    // Left, top, width and height of a "WinRect" text: at least four fields
    // joined by "|", each an integer; std::nullopt otherwise, or when width
    // or height is not positive (the window then stays where it is).
    static std::optional<QRect> ParseWinRect(const QString& text);

signals:
    // An option's value was set (also once for every option after a load).
    void optionChanged(Options::Option option);
    void saveEnabledChanged(bool enabled);

private:
    void resetToDefaults();
    void changed(Option option);

    std::array<bool, OptionCount> m_marks{};
    std::array<bool, OptionCount> m_checks{};
    bool m_saveEnabled = false;

    // Set from the defaults table by resetToDefaults.
    QString m_baseDir;
    bool m_baseDirIsDefault = true;
    int m_maxParallel = 0;
    int m_pathOption = 0;
    int m_pbarStyle = 0;
    int m_tbarStyle = 0;
    QString m_colorSettings;
    Colors m_colors{};
    QString m_minImgSizeText;
    QString m_dataExt;
    QString m_urlExt;
    int m_tryCount = 0;
    int m_busyWait = 0;
    int m_connTimeout = 0;
    QString m_maxTryText;
    QString m_busyWaitText;
    QString m_connTimeoutText;
    QString m_winRect;
};
