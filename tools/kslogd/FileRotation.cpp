// Rotation of the instance files.
#include "FileRotation.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kStampShape = "########-######-###";

// Where the stamp goes: before the extension, the last '.' that is not the first byte.
std::size_t stampPosition(const std::string& fileName) {
    std::size_t dot = fileName.rfind('.');
    return dot == std::string::npos || dot == 0 ? fileName.size() : dot;
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

} // namespace

bool parseByteSize(std::string_view text, std::uint64_t& bytes) {
    int shift = 0;
    if (!text.empty()) {
        switch (text.back()) {
        case 'k':
        case 'K':
            shift = 10;
            break;
        case 'm':
        case 'M':
            shift = 20;
            break;
        case 'g':
        case 'G':
            shift = 30;
            break;
        }
        if (shift)
            text.remove_suffix(1);
    }
    if (text.empty() || text.size() > 18)
        return false;
    std::uint64_t value = 0;
    for (char c : text) {
        if (!isDigit(c))
            return false;
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
    }
    if (value > (std::uint64_t{1} << (62 - shift)))
        return false;
    bytes = value << shift;
    return true;
}

std::string rotatedFileName(const std::string& fileName, const std::tm& time, int millisecond) {
    char stamp[40];
    std::snprintf(stamp, sizeof stamp, ".%04d%02d%02d-%02d%02d%02d-%03d", time.tm_year + 1900,
                  time.tm_mon + 1, time.tm_mday, time.tm_hour, time.tm_min, time.tm_sec,
                  millisecond % 1000);
    std::size_t at = stampPosition(fileName);
    return fileName.substr(0, at) + stamp + fileName.substr(at);
}

bool isRotatedName(const std::string& name, const std::string& fileName) {
    std::size_t at = stampPosition(fileName);
    if (name.size() != fileName.size() + 1 + kStampShape.size() ||
        name.compare(0, at, fileName, 0, at) != 0 || name[at] != '.' ||
        name.compare(at + 1 + kStampShape.size(), std::string::npos, fileName, at) != 0)
        return false;
    for (std::size_t i = 0; i < kStampShape.size(); ++i) {
        char c = name[at + 1 + i];
        if (kStampShape[i] == '#' ? !isDigit(c) : c != kStampShape[i])
            return false;
    }
    return true;
}

namespace {

// The newest first: the stamps sort by age.
void deleteBeyond(const fs::path& folder, const std::string& fileName, std::size_t keep) {
    std::vector<std::string> rotated;
    std::error_code error;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder, error)) {
        std::string name = entry.path().filename().string();
        if (isRotatedName(name, fileName) && entry.is_regular_file(error) &&
            !entry.is_symlink(error))
            rotated.push_back(std::move(name));
    }
    if (rotated.size() <= keep)
        return;
    std::sort(rotated.begin(), rotated.end(), std::greater<>());
    for (std::size_t i = keep; i < rotated.size(); ++i)
        fs::remove(folder / rotated[i], error);
}

} // namespace

namespace {

std::string nameAt(const std::string& fileName, std::int64_t stamp) {
    std::time_t seconds = static_cast<std::time_t>(stamp / 1000);
    std::tm local = *std::localtime(&seconds); // the collector runs one thread
    return rotatedFileName(fileName, local, static_cast<int>(stamp % 1000));
}

} // namespace

bool rotateFile(const std::string& folder, const std::string& fileName,
                const RotationLimits& limits, std::int64_t& lastStamp, std::string& error) {
    using namespace std::chrono;
    std::int64_t now =
        duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
    fs::path from = fs::path(folder) / fileName;
    std::error_code failure;
    // A name taken already (by another collector's run, say) moves the stamp on.
    for (std::int64_t stamp = std::max(now, lastStamp + 1); stamp < now + 60000; ++stamp) {
        fs::path to = fs::path(folder) / nameAt(fileName, stamp);
        if (fs::exists(fs::symlink_status(to, failure)))
            continue;
        lastStamp = stamp;
        fs::rename(from, to, failure);
        if (failure) {
            error = failure.message();
            return false;
        }
        if (limits.keep)
            deleteBeyond(folder, fileName, limits.keep);
        return true;
    }
    error = "no free rotated name";
    return false;
}
