// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QRegularExpression>
#include <QString>

// The link pattern: "(" + the template with every "$Ext" (any case) replaced by an
// extension pattern, trimmed, + ")", tested case-insensitively and multi-line for a match
// anywhere in a line. The template comes from a user file: one that does not compile
// matches nothing, and IsValid()/ErrorText() say why.
class LinkPattern
{
public:
    LinkPattern() = default;
    LinkPattern(const QString& dataFilter, const QString& extPattern);

    // The expression text, e.g. "((https?://[^<=\?\+>]+(\.jpg|\.gif)))".
    static QString Build(const QString& dataFilter, const QString& extPattern);

    // No template: nothing is filtered.
    bool IsEmpty() const { return m_empty; }
    bool IsValid() const { return m_empty || m_regex.isValid(); }
    QString ErrorText() const;
    QString Pattern() const { return m_pattern; }
    QString DataFilter() const { return m_dataFilter; }
    QString ExtPattern() const { return m_extPattern; }

    // True when the line holds a match; every line passes an empty pattern and none an
    // invalid one.
    bool Matches(const QString& line) const;

private:
    QString m_dataFilter;
    QString m_extPattern;
    QString m_pattern;
    QRegularExpression m_regex;
    bool m_empty = true;
};
