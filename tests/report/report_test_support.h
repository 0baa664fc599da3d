#pragma once

// Shared by the report's tests: a report written to temporary streams, with its status and both
// outputs, and a file written byte for byte.

#include "report/report.h"

#include <cstdio>
#include <filesystem>
#include <string>

struct ReportRun {
    int status = -1;
    std::string out, err;
};

// Writes the report `request` asks for to two temporary files and returns what they received.
ReportRun runReport(const ReportRequest& request);

// Everything written to `stream` so far, read from its start.
std::string readAll(std::FILE* stream);

// Writes `bytes` to `path` exactly, replacing what was there.
void writeFile(const std::filesystem::path& path, const std::string& bytes);
