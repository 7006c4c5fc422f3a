// A temporary folder for one test, removed with everything in it afterwards.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <random>
#include <stdexcept>
#include <string>
#include <system_error>

namespace testsupport {

class TempDir {
public:
    TempDir() {
#ifdef _WIN32
        // No mkdtemp there: try fresh random names until one is created by us.
        std::random_device random;
        for (int attempt = 0; attempt < 100 && Path_.empty(); ++attempt) {
            const auto candidate =
                std::filesystem::temp_directory_path() / ("tillmark-" + std::to_string(random()));
            if (std::filesystem::create_directory(candidate))
                Path_ = candidate;
        }
        if (Path_.empty())
            throw std::runtime_error("no temporary folder could be made");
#else
        std::string pattern = (std::filesystem::temp_directory_path() / "tillmark-XXXXXX").string();
        if (!::mkdtemp(pattern.data()))
            throw std::runtime_error("mkdtemp failed");
        Path_ = pattern;
#endif
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(Path_, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& Path() const {
        return Path_;
    }
    std::string operator/(const std::string& Name) const {
        return (Path_ / Name).string();
    }

private:
    std::filesystem::path Path_;
};

} // namespace testsupport
