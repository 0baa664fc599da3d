#pragma once

// What the program was asked to do on its command line: parvane [OPCIÓN]... [FICHERO1
// [FICHERO2]]. Parsing needs no display and no application object. Arguments are taken as the
// bytes they are (see argument_text.h), so a file name that is not UTF-8 reaches the engine
// unchanged; every argument after "--" is a file.

#include "comparison/comparison_rules.h"
#include "comparison/text_decoding.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <vector>

class CommandLine {
public:
    enum class Action { Run, Report, ShowHelp, ShowVersion, Refuse };
    enum class Format { Text, Json };

    // `arguments` starts with the program's name, as argv does, each argument made by
    // argumentText().
    static CommandLine parse(const QStringList& arguments);
    static CommandLine parse(int argc, char* argv[]);

    static QString helpText();
    static QString versionText();

    Action action() const { return action_; }
    // The files to compare or to put in the path boxes (none, one or two), as given.
    const std::vector<std::filesystem::path>& files() const { return files_; }
    // Compare without the size limits (--sin-limite).
    bool unlimited() const { return unlimited_; }
    // How to decode each file (--codificacion); none: both alike, as always.
    const std::optional<parvane::DecodingChoices>& decodings() const { return decodings_; }
    // The window draws the differing characters on a light background too (--resaltar).
    bool highlighted() const { return highlighted_; }
    // The window writes in fixed-width letters, with a ruler of columns (--ancho-fijo).
    bool fixedPitch() const { return fixedPitch_; }
    // For a report: its format, how many differing lines to show at most, and the HTML page to
    // write (empty: none).
    Format format() const { return format_; }
    std::optional<std::uint64_t> maxLines() const { return maxLines_; }
    const std::filesystem::path& htmlPath() const { return htmlPath_; }
    // A record layout whose fields name the differences (--campos); empty: none.
    const std::filesystem::path& layoutPath() const { return layoutPath_; }
    // What the comparison leaves out (--ignorar-columnas, --ignorar-mayusculas,
    // --ignorar-blancos-finales, --ignorar-patron), for the window and the report alike; a
    // layout's field flags join them once the layout is read.
    const parvane::ComparisonRules& rules() const { return rules_; }
    // The report lists what was left out too, marked as such (--mostrar-omitido).
    bool showLeftOut() const { return showLeftOut_; }
    // Why the command line was refused, with how to use the program.
    const QString& error() const { return error_; }

private:
    Action action_ = Action::Run;
    std::vector<std::filesystem::path> files_;
    bool unlimited_ = false;
    std::optional<parvane::DecodingChoices> decodings_;
    bool highlighted_ = false;
    bool fixedPitch_ = false;
    Format format_ = Format::Text;
    std::optional<std::uint64_t> maxLines_;
    std::filesystem::path htmlPath_;
    std::filesystem::path layoutPath_;
    parvane::ComparisonRules rules_;
    bool showLeftOut_ = false;
    QString error_;
};
