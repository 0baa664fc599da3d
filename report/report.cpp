#include "report/report.h"

#include "comparison/file_comparison.h"
#include "comparison/record_layout.h"
#include "comparison/source_file.h"
#include "report/report_html_file.h"
#include "report/report_html_writer.h"
#include "report/report_json_writer.h"
#include "report/report_output.h"
#include "report/report_text_writer.h"

#include <array>
#include <csignal>
#include <memory>
#include <new>
#include <optional>
#include <string_view>

namespace {

constexpr int kIdentical = 0;
constexpr int kDifferent = 1;
constexpr int kTrouble = 2;

// A message on `err`, one line; a failure to write it changes nothing.
void complain(std::FILE* err, std::string_view message) {
    std::fwrite(message.data(), 1, message.size(), err);
    std::fputc('\n', err);
    std::fflush(err);
}

void writeHtml(const ReportRequest& request, const parvane::FileComparison& source,
               const parvane::RecordLayout* layout, ReportHtmlFile& file) {
    ReportOutput page(file.stream(), parvane::quoted(request.html));
    ReportHtmlWriter::write(page, source, request.maxLines, layout);
    page.flush();
    file.commit();
}

void writeOut(const ReportRequest& request, const parvane::FileComparison& source,
              const parvane::RecordLayout* layout, std::FILE* out) {
    const bool leftOut = request.showLeftOut;
    ReportOutput output(out, "la salida estándar");
    const bool json = request.format == ReportRequest::Format::Json;
    if (!request.html.empty()) {
        if (json) {
            ReportJsonWriter::writeSummary(output, source, request.html, layout);
        } else {
            ReportTextWriter::writeSummary(output, source, layout);
        }
    } else if (json) {
        ReportJsonWriter::write(output, source, request.maxLines, layout, leftOut);
    } else {
        ReportTextWriter::write(output, source, request.maxLines, layout, leftOut);
    }
    output.flush();
}

} // namespace

int Report::write(const ReportRequest& request, std::FILE* out, std::FILE* err) {
    std::signal(SIGPIPE, SIG_IGN);
    // The page's file is looked at before the comparison, which may take long: it must not be
    // one of the files compared, and a page that cannot be written is said at once.
    std::optional<ReportHtmlFile> page;
    if (!request.html.empty()) {
        try {
            page.emplace(request.html, std::array{request.file1, request.file2}, out, err);
        } catch (const ReportOutputError& error) {
            complain(err, error.what());
            return kTrouble;
        }
    }
    std::shared_ptr<const parvane::RecordLayout> layout;
    if (!request.layout.empty()) {
        try {
            layout = std::make_shared<const parvane::RecordLayout>(
                parvane::RecordLayout::read(request.layout));
        } catch (const parvane::LayoutError& error) {
            complain(err, error.what());
            return kTrouble;
        }
    }
    const parvane::RecordLayout* fields = layout.get();
    std::optional<parvane::FileComparison> source;
    try {
        parvane::ComparisonOptions options{request.unlimited, {}, {}};
        // Every differing pair is read back: the first ones from memory.
        options.sizes.keptBytes = parvane::ReadSizes::kKeptForReading;
        options.decodings = request.decodings;
        options.rules = request.rules;
        // The layout's field flags are rules too.
        options.rules.setLayout(layout);
        source = parvane::FileComparison::run(request.file1, request.file2, options);
    } catch (const parvane::OverflowError& error) {
        // As the window offers its button "Comparar sin límite", the report names its option.
        complain(err, std::string(error.what()) +
                          " O use --sin-limite, que compara ficheros de cualquier tamaño.");
        return kTrouble;
    } catch (const parvane::ComparisonError& error) {
        complain(err, error.what());
        return kTrouble;
    } catch (const std::bad_alloc&) {
        complain(err, "No se pueden comparar " + parvane::quoted(request.file1) + " y " +
                          parvane::quoted(request.file2) + ": no hay memoria suficiente.");
        return kTrouble;
    }
    const int status = source->identical() ? kIdentical : kDifferent;
    try {
        if (page) {
            writeHtml(request, *source, fields, *page);
        }
        // A page written to standard output is all it gets: a summary would spoil the page.
        if (!page || page->stream() != out) {
            writeOut(request, *source, fields, out);
        }
    } catch (const ReportOutputClosed&) {
        return status;
    } catch (const ReportOutputError& error) {
        complain(err, error.what());
        return kTrouble;
    } catch (const parvane::ComparisonError& error) {
        complain(err, error.what());
        return kTrouble;
    } catch (const std::bad_alloc&) {
        complain(err, "No se puede terminar el informe: no hay memoria suficiente.");
        return kTrouble;
    }
    return status;
}
