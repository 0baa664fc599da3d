#include "comparison_test_support.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <fstream>
#include <future>
#include <memory>
#include <random>
#include <stdexcept>
#include <thread>

#include <unistd.h>

namespace parvane::test {

TempFolder::TempFolder() {
    std::random_device random;
    const auto base = std::filesystem::temp_directory_path();
    for (int attempt = 0; attempt < 100; ++attempt) {
        const auto name =
            "parvane-comparison-" + std::to_string(::getpid()) + "-" + std::to_string(random());
        if (std::filesystem::create_directory(base / name)) {
            path_ = base / name;
            return;
        }
    }
    throw std::runtime_error("cannot create a temporary folder under " + base.string());
}

TempFolder::~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::filesystem::path TempFolder::write(const std::string& name, std::string_view bytes) const {
    const auto file = path_ / name;
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
        throw std::runtime_error("cannot write " + file.string());
    }
    return file;
}

Comparison ComparisonTest::compareContents(std::string_view bytes1, std::string_view bytes2) const {
    return compareFiles(folder_.write("primero.txt", bytes1), folder_.write("segundo.txt", bytes2));
}

Outcome compareGuarded(const std::filesystem::path& file1, const std::filesystem::path& file2,
                       std::chrono::seconds limit) {
    auto promise = std::make_shared<std::promise<Outcome>>();
    auto future = promise->get_future();
    const auto start = std::chrono::steady_clock::now();
    std::thread([promise, file1, file2] {
        Outcome outcome;
        try {
            compareFiles(file1, file2);
            outcome.kind = Outcome::Kind::Finished;
        } catch (const FileError& error) {
            outcome = {Outcome::Kind::FileError, error.what()};
        } catch (const OverflowError& error) {
            outcome = {Outcome::Kind::OverflowError, error.what()};
        } catch (const std::exception& error) {
            outcome = {Outcome::Kind::OtherError, error.what()};
        }
        promise->set_value(outcome);
    }).detach();
    if (future.wait_for(limit) != std::future_status::ready) {
        return {Outcome::Kind::TimedOut, "", static_cast<double>(limit.count())};
    }
    Outcome outcome = future.get();
    outcome.seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return outcome;
}

const char* kindName(Outcome::Kind kind) {
    switch (kind) {
    case Outcome::Kind::Finished: return "finished";
    case Outcome::Kind::FileError: return "FileError";
    case Outcome::Kind::OverflowError: return "OverflowError";
    case Outcome::Kind::OtherError: return "other exception";
    case Outcome::Kind::TimedOut: return "timed out";
    }
    return "?";
}

std::string utf8(char32_t c) {
    std::string out;
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
    return out;
}

std::string repeat(std::string_view text, int count) {
    std::string out;
    out.reserve(text.size() * static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        out += text;
    }
    return out;
}

Positions range(int first, int last) {
    Positions out;
    for (int p = first; p <= last; ++p) {
        out.push_back(static_cast<std::int16_t>(p));
    }
    return out;
}

bool containsIgnoringCase(std::string_view haystack, std::string_view needle) {
    const auto lower = [](char c) {
        return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    };
    return std::search(haystack.begin(), haystack.end(), needle.begin(), needle.end(),
                       [&](char a, char b) { return lower(a) == lower(b); }) != haystack.end();
}

const std::vector<FileChange>& fileChanges() {
    static const std::vector<FileChange> changes = {
        {"truncated to nothing", [](const std::filesystem::path& path,
                                    const TempFolder&) { std::filesystem::resize_file(path, 0); }},
        {"truncated", [](const std::filesystem::path& path,
                         const TempFolder&) { std::filesystem::resize_file(path, 5); }},
        {"grown",
         [](const std::filesystem::path& path, const TempFolder&) {
             std::FILE* file = std::fopen(path.c_str(), "ab");
             std::fputs("más\n", file);
             std::fclose(file);
         }},
        {"replaced by rename",
         [](const std::filesystem::path& path, const TempFolder& folder) {
             std::filesystem::rename(folder.write("nuevo.txt", "nuevo\ncontenido\n"), path);
         }},
        {"removed", [](const std::filesystem::path& path,
                       const TempFolder&) { std::filesystem::remove(path); }},
    };
    return changes;
}

} // namespace parvane::test
