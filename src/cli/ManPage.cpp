#include "cli/ManPage.h"

#include <QRegularExpression>
#include <QStringList>

#include "cli/Cli.h"
#include "cli/CommandLine.h"

namespace pelagon::cli {

namespace {

// Paragraphs of a help text: blank lines part them, and so does a line that starts a new
// statement of its own ("Exit status: ...").
QStringList paragraphs(const QString& text) {
    QStringList result;
    QString current;
    for (const QString& line : text.split(QLatin1Char('\n'))) {
        const bool newParagraph =
            line.trimmed().isEmpty() || line.startsWith(QStringLiteral("Exit status:"));
        if (newParagraph && !current.isEmpty()) {
            result.append(current);
            current.clear();
        }
        if (!line.trimmed().isEmpty()) {
            current += (current.isEmpty() ? QString() : QStringLiteral("\n")) + line.trimmed();
        }
    }
    if (!current.isEmpty()) {
        result.append(current);
    }
    return result;
}

QString optionHead(const OptionSyntax& o) {
    QString head = QStringLiteral("\\fB%1\\fR").arg(troffText(o.name));
    if (!o.alias.isEmpty()) {
        head = QStringLiteral("\\fB%1\\fR, ").arg(troffText(o.alias)) + head;
    }
    if (!o.valueName.isEmpty()) {
        head += QStringLiteral(" \\fI%1\\fR").arg(troffText(o.valueName));
    }
    return head;
}

QString subcommandSection(const CommandSyntax& syntax) {
    QString text = QStringLiteral(".SS %1\n").arg(troffText(syntax.name));
    text += QStringLiteral(".B pelagon\\-cli %1\n%2\n.PP\n%3\n")
                .arg(troffText(syntax.name), troffText(syntax.synopsis), troffText(syntax.summary));
    for (const QString& p : paragraphs(syntax.details)) {
        text += QStringLiteral(".PP\n%1\n").arg(troffText(p));
    }
    QList<OptionSyntax> options = syntax.options;
    options.append({QStringLiteral("--help"),
                    QStringLiteral("-h"),
                    {},
                    false,
                    QStringLiteral("show the subcommand's help and exit")});
    for (const OptionSyntax& o : options) {
        text += QStringLiteral(".TP\n%1\n%2\n").arg(optionHead(o), troffText(o.help));
    }
    return text;
}

}  // namespace

QString troffText(const QString& text) {
    QString out = text;
    out.replace(QLatin1Char('\\'), QStringLiteral("\\e"));
    static const QRegularExpression dash(QStringLiteral("(?<![A-Za-z0-9])-"));
    out.replace(dash, QStringLiteral("\\-"));
    static const QRegularExpression control(QStringLiteral("^([.'])"),
                                            QRegularExpression::MultilineOption);
    out.replace(control, QStringLiteral("\\&\\1"));
    // groff reads its input as Latin-1: every other character goes as its Unicode escape, so
    // "57°30'" shows a degree sign, not two stray bytes.
    QString ascii;
    ascii.reserve(out.size());
    for (const char32_t c : out.toUcs4()) {
        if (c < 0x80) {
            ascii += QChar(static_cast<char16_t>(c));
        } else {
            const QString hex =
                QString::number(static_cast<uint>(c), 16).toUpper().rightJustified(4, u'0');
            ascii += QStringLiteral("\\[u") + hex + QLatin1Char(']');
        }
    }
    return ascii;
}

QString manPage(const QString& version, const QString& date) {
    QString page = QStringLiteral(
                       ".\\\" The manual page of pelagon-cli, made from the tool's own syntax "
                       "tables.\n"
                       ".TH PELAGON\\-CLI 1 \"%1\" \"pelagon %2\" \"User Commands\"\n")
                       .arg(date, version);
    page += QStringLiteral(
        ".SH NAME\n"
        "pelagon\\-cli \\- the fishery map viewer's engine without a window\n"
        ".SH SYNOPSIS\n"
        ".B pelagon\\-cli\n"
        ".I SUBCOMMAND MAP.mv\n"
        "[\\fIOPTIONS\\fR]\n"
        ".br\n"
        ".B pelagon\\-cli\n"
        ".I SUBCOMMAND\n"
        ".B \\-\\-help\n"
        ".br\n"
        ".B pelagon\\-cli\n"
        "[\\fB\\-\\-help\\fR | \\fB\\-\\-version\\fR]\n"
        ".SH DESCRIPTION\n"
        ".B pelagon\\-cli\n"
        "reads a map definition (\\fI.mv\\fR) and its map folder exactly as the viewer\n"
        ".BR pelagon (1)\n"
        "does \\- the same definition reader, layer loading, renderer, query page and\n"
        "projection \\- for scripts, batch checks of positions, reports and benchmarks. It\n"
        "needs no display.\n"
        ".PP\n"
        "Relative paths are taken from the folder the tool is started in; while it works, the\n"
        "map folder is the working folder, as in the viewer. Messages about layers that cannot\n"
        "be loaded go to standard error and do not stop the tool.\n"
        ".SH SUBCOMMANDS\n");
    for (const CommandSyntax* syntax : subcommandSyntaxes()) {
        page += subcommandSection(*syntax);
    }
    page += QStringLiteral(
        ".SH OPTIONS\n"
        "Without a subcommand:\n"
        ".TP\n"
        "\\fB\\-h\\fR, \\fB\\-\\-help\\fR\n"
        "list the subcommands and exit.\n"
        ".TP\n"
        "\\fB\\-\\-version\\fR\n"
        "print the version and exit.\n"
        ".SH EXIT STATUS\n"
        ".TP\n"
        ".B 0\n"
        "success.\n"
        ".TP\n"
        ".B 1\n"
        "the map or an input cannot be used, or an output (a file or standard output)\n"
        "cannot be written; the message names the file, the line and the problem.\n"
        ".TP\n"
        ".B 2\n"
        "a usage error: an unknown subcommand or option, a missing argument, a malformed\n"
        "number.\n"
        ".SH ENVIRONMENT\n"
        ".TP\n"
        ".B QT_QPA_PLATFORM\n"
        "the tool draws on Qt's offscreen platform unless this names another.\n"
        ".SH FILES\n"
        ".TP\n"
        ".I /usr/share/pelagon/samples/alaska/Alaska.mv\n"
        "the sample map that comes with the viewer (under the installation's prefix).\n"
        ".SH EXAMPLES\n"
        ".nf\n"
        "pelagon\\-cli info Alaska.mv \\-\\-json\n"
        "pelagon\\-cli render Alaska.mv \\-o map.png \\-\\-size 1200x800 \\-\\-region Kodiak\n"
        "pelagon\\-cli query Alaska.mv \\-\\-lonlat \\-152.41,57.79 \\-o drillID_results.htm\n"
        "pelagon\\-cli query Alaska.mv \\-\\-csv positions.csv \\-o hits.csv\n"
        "pelagon\\-cli position Alaska.mv \\-\\-at 100000,200000\n"
        "pelagon\\-cli measure Alaska.mv 0,0 3000,4000 3000,10000\n"
        ".fi\n"
        ".SH SEE ALSO\n"
        ".BR pelagon (1)\n");
    return page;
}

}  // namespace pelagon::cli
