// Sets environment variables for one test and puts the old values back afterwards.
#pragma once

#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace testsupport {

inline void SetEnv(const std::string& Name, const char* Value) {
#ifdef _WIN32
    ::_putenv_s(Name.c_str(), Value ? Value : ""); // an empty value removes it there
#else
    if (Value)
        ::setenv(Name.c_str(), Value, 1);
    else
        ::unsetenv(Name.c_str());
#endif
}

class ScopedEnv {
public:
    ScopedEnv() = default;
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;
    ~ScopedEnv() {
        for (auto it = Saved.rbegin(); it != Saved.rend(); ++it)
            SetEnv(it->first, it->second ? it->second->c_str() : nullptr);
#ifdef _WIN32
        ::_tzset();
#else
        ::tzset();
#endif
    }
    // A null Value removes the variable.
    void Set(const std::string& Name, const char* Value) {
        const char* old = std::getenv(Name.c_str());
        Saved.emplace_back(Name, old ? std::optional<std::string>(old) : std::nullopt);
        SetEnv(Name, Value);
    }

private:
    std::vector<std::pair<std::string, std::optional<std::string>>> Saved;
};

} // namespace testsupport
