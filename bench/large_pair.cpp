#include "bench/large_pair.h"

#include <chrono>
#include <fstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

namespace bench {

void writeLargePair(const std::filesystem::path& path1, const std::filesystem::path& path2,
                    std::uint64_t lines, std::uint64_t every) {
    std::ofstream out1(path1, std::ios::binary);
    std::ofstream out2(path2, std::ios::binary);
    std::string block1, block2;
    std::string line(kLargePairLineLength + 1, '\n');
    for (std::uint64_t k = 0; k < lines; ++k) {
        for (std::size_t i = 0; i < kLargePairLineLength; ++i) {
            line[i] = static_cast<char>('!' + (k * 7 + i * 13) % 94);
        }
        block1 += line;
        if (k % every == 37 % every) {
            const std::size_t column = k % kLargePairLineLength;
            line[column] = line[column] == 'x' ? 'y' : 'x';
        }
        block2 += line;
        if (block1.size() >= (std::size_t{8} << 20)) {
            out1.write(block1.data(), static_cast<std::streamsize>(block1.size()));
            out2.write(block2.data(), static_cast<std::streamsize>(block2.size()));
            block1.clear();
            block2.clear();
        }
    }
    out1.write(block1.data(), static_cast<std::streamsize>(block1.size()));
    out2.write(block2.data(), static_cast<std::streamsize>(block2.size()));
    if (!out1 || !out2) {
        throw std::runtime_error("cannot write the benchmark files");
    }
}

void readOnce(const std::filesystem::path& path, std::size_t readSize) {
    const int descriptor = ::open(path.c_str(), O_RDONLY);
    if (descriptor < 0) {
        return;
    }
    std::vector<char> buffer(readSize);
    while (::read(descriptor, buffer.data(), buffer.size()) > 0) {
    }
    ::close(descriptor);
}

double readBothOnce(const std::filesystem::path& path1, const std::filesystem::path& path2,
                    std::size_t readSize) {
    const auto start = std::chrono::steady_clock::now();
    std::thread first([&] { readOnce(path1, readSize); });
    readOnce(path2, readSize);
    first.join();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

} // namespace bench
