#pragma once

#include <QString>

namespace pelagon::cli {

// The tool's manual page, pelagon-cli(1), in the man macros of troff: the description, every
// subcommand with its synopsis, text and options from the same tables as the tool's --help, the
// exit statuses and examples. version and date go into the page's title line.
QString manPage(const QString& version, const QString& date);

// Text made safe for troff: backslashes escaped, a leading "." or "'" defused, and the dashes of
// options and negative numbers written as minus signs (hyphens inside words stay hyphens).
QString troffText(const QString& text);

}  // namespace pelagon::cli
