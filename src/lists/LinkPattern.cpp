// SPDX-License-Identifier: GPL-3.0-or-later
#include "lists/LinkPattern.h"

QString LinkPattern::Build(const QString& dataFilter, const QString& extPattern)
{
    QString filled = dataFilter;
    filled.replace(QStringLiteral("$Ext"), extPattern, Qt::CaseInsensitive);
    // Only blanks are stripped around the template, as a user file may hold them.
    qsizetype begin = 0;
    qsizetype end = filled.size();
    while (begin < end && filled.at(begin) == QLatin1Char(' '))
        ++begin;
    while (end > begin && filled.at(end - 1) == QLatin1Char(' '))
        --end;
    return QLatin1Char('(') + filled.mid(begin, end - begin) + QLatin1Char(')');
}

LinkPattern::LinkPattern(const QString& dataFilter, const QString& extPattern)
    : m_dataFilter(dataFilter), m_extPattern(extPattern), m_empty(dataFilter.isEmpty())
{
    if (m_empty)
        return;
    m_pattern = Build(dataFilter, extPattern);
    m_regex.setPattern(m_pattern);
    m_regex.setPatternOptions(QRegularExpression::CaseInsensitiveOption |
                              QRegularExpression::MultilineOption);
    if (m_regex.isValid())
        m_regex.optimize();
}

QString LinkPattern::ErrorText() const
{
    if (IsValid())
        return QString();
    return m_regex.errorString() + QStringLiteral(" at offset ") +
           QString::number(m_regex.patternErrorOffset());
}

bool LinkPattern::Matches(const QString& line) const
{
    if (m_empty)
        return true;
    if (!m_regex.isValid())
        return false;
    return m_regex.match(line).hasMatch();
}
