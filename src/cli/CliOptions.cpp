// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/CliOptions.h"

#include "platform/WholeNumber.h"

#include <functional>

namespace {

// A whole decimal number within [low, high], no sign, blanks or trailing text.
std::optional<qint64> ReadNumber(const QString& text, qint64 low, qint64 high)
{
    const std::optional<qint64> value = WholeNumber::Read(text, high);
    if (!value || *value < low)
        return std::nullopt;
    return value;
}

} // namespace

bool CliOptions::Parse(const QStringList& arguments, CliOptions& out, QString& error)
{
    out = CliOptions();
    bool optionsEnded = false;
    for (int i = 0; i < arguments.size(); ++i) {
        QString arg = arguments[i];
        if (optionsEnded || arg == QLatin1String("-") || !arg.startsWith(QLatin1Char('-'))) {
            out.Positional.append(arg);
            continue;
        }
        if (arg == QLatin1String("--")) {
            optionsEnded = true;
            continue;
        }
        // "--name=value" carries its value inline.
        std::optional<QString> inlineValue;
        if (arg.startsWith(QLatin1String("--"))) {
            const qsizetype eq = arg.indexOf(QLatin1Char('='));
            if (eq > 0) {
                inlineValue = arg.mid(eq + 1);
                arg.truncate(eq);
            }
        }
        auto value = [&](QString& v) {
            if (inlineValue) {
                v = *inlineValue;
                return true;
            }
            if (i + 1 >= arguments.size()) {
                error = QStringLiteral("option %1 needs a value").arg(arg);
                return false;
            }
            v = arguments[++i];
            return true;
        };
        auto number = [&](qint64 low, qint64 high, const QString& what,
                          const std::function<void(qint64)>& store) {
            QString v;
            if (!value(v))
                return false;
            const auto n = ReadNumber(v, low, high);
            if (!n) {
                error = QStringLiteral("option %1 needs %2, not '%3'").arg(arg, what, v);
                return false;
            }
            store(*n);
            return true;
        };
        auto flag = [&](bool& target) {
            if (inlineValue) {
                error = QStringLiteral("option %1 takes no value").arg(arg);
                return false;
            }
            target = true;
            return true;
        };
        auto toggle = [&](std::optional<bool>& target, bool on) {
            if (inlineValue) {
                error = QStringLiteral("option %1 takes no value").arg(arg);
                return false;
            }
            target = on;
            return true;
        };

        QString v;
        // A value that names a file: never empty.
        auto fileName = [&] {
            if (!value(v))
                return false;
            if (v.isEmpty()) {
                error = QStringLiteral("option %1 needs a file name").arg(arg);
                return false;
            }
            return true;
        };

        bool ok = true;
        if (arg == QLatin1String("-i") || arg == QLatin1String("--input")) {
            ok = fileName();
            if (ok)
                out.Inputs.append(v);
        } else if (arg == QLatin1String("-f") || arg == QLatin1String("--filtered")) {
            ok = flag(out.Filtered);
        } else if (arg == QLatin1String("-d") || arg == QLatin1String("--base-dir")) {
            ok = value(v);
            if (ok && v.isEmpty()) {
                error = QStringLiteral("option %1 needs a folder").arg(arg);
                ok = false;
            }
            if (ok)
                out.BaseDir = v;
        } else if (arg == QLatin1String("-j") || arg == QLatin1String("--parallel")) {
            ok = number(1, 20, QStringLiteral("a number from 1 to 20"),
                        [&](qint64 n) { out.Parallel = int(n); });
        } else if (arg == QLatin1String("--resume")) {
            ok = toggle(out.Resume, true);
        } else if (arg == QLatin1String("--no-resume")) {
            ok = toggle(out.Resume, false);
        } else if (arg == QLatin1String("--redirect")) {
            ok = toggle(out.Redirect, true);
        } else if (arg == QLatin1String("--no-redirect")) {
            ok = toggle(out.Redirect, false);
        } else if (arg == QLatin1String("--keep-alive")) {
            ok = toggle(out.KeepAlive, true);
        } else if (arg == QLatin1String("--no-keep-alive")) {
            ok = toggle(out.KeepAlive, false);
        } else if (arg == QLatin1String("--http11")) {
            ok = flag(out.Http11);
        } else if (arg == QLatin1String("--max-try")) {
            ok = number(1, 255, QStringLiteral("a number from 1 to 255"),
                        [&](qint64 n) { out.MaxTry = int(n); });
        } else if (arg == QLatin1String("--busy-wait")) {
            ok = number(0, 3600, QStringLiteral("seconds from 0 to 3600"),
                        [&](qint64 n) { out.BusyWait = int(n); });
        } else if (arg == QLatin1String("--timeout")) {
            ok = number(1, 3600, QStringLiteral("seconds from 1 to 3600"),
                        [&](qint64 n) { out.Timeout = int(n); });
        } else if (arg == QLatin1String("--user-agent")) {
            ok = value(v);
            if (ok && (v.contains(QLatin1Char('\r')) || v.contains(QLatin1Char('\n')))) {
                // A line break would end the header line and inject request text.
                error = QStringLiteral("option %1 must be one line").arg(arg);
                ok = false;
            }
            if (ok)
                out.UserAgent = v;
        } else if (arg == QLatin1String("--min-image-size")) {
            ok = number(0, 2147483647, QStringLiteral("a number of bytes"),
                        [&](qint64 n) { out.MinImageSize = n; });
        } else if (arg == QLatin1String("--path-option")) {
            ok = number(0, 1, QStringLiteral("0 or 1"), [&](qint64 n) { out.PathOption = int(n); });
        } else if (arg == QLatin1String("--connect-at-once")) {
            ok = flag(out.ConnectAtOnce);
        } else if (arg == QLatin1String("--reuse-connections")) {
            ok = flag(out.ReuseConnections);
        } else if (arg == QLatin1String("--log-request")) {
            ok = flag(out.LogRequest);
        } else if (arg == QLatin1String("--log-reply")) {
            ok = flag(out.LogReply);
        } else if (arg == QLatin1String("--ca-certificate")) {
            ok = fileName();
            if (ok)
                out.CaFile = v;
        } else if (arg == QLatin1String("--failed-list")) {
            ok = fileName();
            if (ok)
                out.FailedList = v;
        } else if (arg == QLatin1String("--harvest")) {
            ok = value(v);
            if (ok && v.trimmed().isEmpty()) {
                error = QStringLiteral("option %1 needs a page address").arg(arg);
                ok = false;
            }
            if (ok)
                out.Harvest.append(v.trimmed());
        } else if (arg == QLatin1String("--pages")) {
            ok = flag(out.Pages);
        } else if (arg == QLatin1String("--no-download")) {
            ok = flag(out.NoDownload);
        } else if (arg == QLatin1String("--no-glob")) {
            ok = flag(out.NoGlob);
        } else if (arg == QLatin1String("-q") || arg == QLatin1String("--quiet")) {
            ok = flag(out.Quiet);
        } else if (arg == QLatin1String("--version")) {
            ok = flag(out.Version);
        } else if (arg == QLatin1String("-h") || arg == QLatin1String("--help")) {
            ok = flag(out.Help);
        } else if (arg == QLatin1String("--tick-ms")) {
            ok = number(1, 1000, QStringLiteral("milliseconds from 1 to 1000"),
                        [&](qint64 n) { out.TickMs = int(n); });
        } else {
            error = QStringLiteral("unknown option '%1'").arg(arg);
            ok = false;
        }
        if (!ok)
            return false;
    }
    return true;
}

QString CliOptions::Usage()
{
    return QStringLiteral(
        "Usage: harvex-cli [options] [LIST_FILE | URL]...\n"
        "Downloads every URL of the lists and the command line into the base folder.\n"
        "\n"
        "  -i, --input FILE       URLs from FILE, one per line (\"-\" reads standard input)\n"
        "  -f, --filtered         load list files through the link pattern, like a dropped\n"
        "                         file (default: every non-blank line)\n"
        "  -d, --base-dir DIR     base folder for this run (must exist)\n"
        "  -j, --parallel N       parallel connections, 1 to 20\n"
        "  --resume, --no-resume  continue partly downloaded files, or take new names\n"
        "  --redirect, --no-redirect\n"
        "                         follow redirections, or not\n"
        "  --keep-alive, --no-keep-alive\n"
        "                         ask for kept-alive connections (with --http11)\n"
        "  --http11               send HTTP/1.1 requests\n"
        "  --connect-at-once      connect without the start delay of each job\n"
        "  --reuse-connections    keep a kept-alive connection for the next job\n"
        "  --max-try N            connection attempts per job\n"
        "  --busy-wait SECONDS    wait between tries\n"
        "  --timeout SECONDS      time to wait for a reply\n"
        "  --user-agent TEXT      User-Agent header (empty: none)\n"
        "  --min-image-size BYTES skip images smaller than this\n"
        "  --path-option 0|1      0: replicate the URL path, 1: all files in DIR/Downloads\n"
        "  --log-request          log request headers (Harvex_0.log)\n"
        "  --log-reply            log reply headers (Harvex_0.log)\n"
        "  --harvest PAGE_URL     add the links of a web page (repeatable)\n"
        "  --pages                also collect the links to further pages of harvested pages\n"
        "                         and print the web page list as lines \"page: URL\"\n"
        "  --failed-list FILE     append the URLs of the jobs that did not complete to FILE\n"
        "  --ca-certificate FILE  trust only the PEM certificates in FILE for HTTPS, instead\n"
        "                         of the system's trust store\n"
        "  --no-download          print the job list, one URL per line, and download nothing\n"
        "  --no-glob              take URL arguments as written; by default a URL argument\n"
        "                         with [N-M] ranges stands for every number between\n"
        "                         (\"img[001-120].jpg\": img001.jpg to img120.jpg)\n"
        "  -q, --quiet            no live display\n"
        "  --version              print the version\n"
        "  -h, --help             print this help\n"
        "\n"
        "Exit status: 0 every job completed, 1 some job did not, 2 usage error or missing\n"
        "base folder, 130 interrupted.\n");
}
