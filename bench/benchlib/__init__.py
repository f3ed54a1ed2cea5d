# SPDX-License-Identifier: GPL-3.0-or-later
"""The benchmark harness: data sets, loopback nginx, tools, measurement, report."""
