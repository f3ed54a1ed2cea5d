// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Inside HttpFiles: emits a signal, then returns (with the given value, if any) when a
// handler of that signal dropped or replaced the job in hand, so the rest of the step
// never acts on a job that is no longer ours.
#define HARVEX_EMIT_OR_RETURN(signal, ...)                                                         \
    do {                                                                                           \
        const quint64 generation_ = m_generation;                                                  \
        Q_EMIT signal;                                                                             \
        if (generation_ != m_generation)                                                           \
            return __VA_ARGS__;                                                                    \
    } while (false)
