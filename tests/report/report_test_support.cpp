#include "report_test_support.h"

#include <cstdio>
#include <fstream>

std::string readAll(std::FILE* stream) {
    std::rewind(stream);
    std::string text;
    char buffer[4096];
    std::size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, stream)) > 0) {
        text.append(buffer, got);
    }
    return text;
}

ReportRun runReport(const ReportRequest& request) {
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    ReportRun result;
    result.status = Report::write(request, out, err);
    result.out = readAll(out);
    result.err = readAll(err);
    std::fclose(out);
    std::fclose(err);
    return result;
}

void writeFile(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}
