// SPDX-License-Identifier: GPL-3.0-or-later
#include "lists/UrlListReader.h"

#include "lists/UrlLines.h"
#include "platform/LeadingBom.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool fail(QString* error, const QString& name, const QString& reason)
{
    if (error)
        *error = name + QStringLiteral(": ") + reason;
    return false;
}

QString systemReason(int code)
{
    return QString::fromLocal8Bit(std::strerror(code));
}

} // namespace

bool UrlListReader::Open(const QString& path, QFile& file, QString* error)
{
    // O_NONBLOCK: opening a FIFO for reading would otherwise wait for a writer.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return fail(error, path, systemReason(errno));
    struct stat info
    {
    };
    if (::fstat(fd, &info) != 0) {
        const int code = errno;
        ::close(fd);
        return fail(error, path, systemReason(code));
    }
    if (!S_ISREG(info.st_mode)) {
        ::close(fd);
        if (S_ISDIR(info.st_mode))
            return fail(error, path, systemReason(EISDIR));
        // A device never ends; a FIFO or a socket ends only when its writer wants it to.
        return fail(error, path, QStringLiteral("Not a regular file"));
    }
    // O_NONBLOCK stays set: it does not change reads of a regular file.
    if (!file.open(fd, QIODevice::ReadOnly | QIODevice::Unbuffered, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return fail(error, path, file.errorString());
    }
    return true;
}

bool UrlListReader::ReadFile(const QString& path, const LineSink& onLine, QString* error,
                             qsizetype* skippedLines)
{
    QFile file;
    return Open(path, file, error) && Read(file, path, onLine, error, skippedLines);
}

bool UrlListReader::Read(QIODevice& device, const QString& name, const LineSink& onLine,
                         QString* error, qsizetype* skippedLines)
{
    LineSplitState state;
    LeadingBom bom; // no part of the first URL
    QList<QByteArray> lines;
    bool more = true;
    auto deliver = [&]() {
        for (const QByteArray& bytes : std::as_const(lines)) {
            const QString line = UrlLines::StripBlanks(QString::fromUtf8(bytes));
            if (!line.isEmpty() && !onLine(line)) {
                more = false;
                break;
            }
        }
        lines.clear();
    };
    QByteArray chunk(64 * 1024, Qt::Uninitialized);
    while (more) {
        const qint64 got = device.read(chunk.data(), chunk.size());
        if (got < 0)
            return fail(error, name, device.errorString());
        if (got == 0)
            break;
        const QByteArrayView text = bom.Feed(QByteArrayView(chunk.constData(), got));
        UrlLines::Feed(state, bom.Released(), lines);
        UrlLines::Feed(state, text, lines);
        deliver();
    }
    if (more) {
        UrlLines::Feed(state, bom.Finish(), lines);
        UrlLines::Finish(state, lines);
        deliver();
    }
    if (skippedLines)
        *skippedLines = state.skipped;
    return true;
}

QString UrlListReader::SkippedText(qsizetype skippedLines, const QString& name)
{
    return QString::number(skippedLines) +
           QStringLiteral(" line(s) longer than 1 MiB were skipped in ") + name;
}
