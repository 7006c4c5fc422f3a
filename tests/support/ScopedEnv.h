// Sets environment variables for one test and puts the old values back afterwards.
#pragma once

#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace testsupport {

class ScopedEnv {
public:
    ScopedEnv() = default;
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;
    ~ScopedEnv() {
        for (auto it = Saved.rbegin(); it != Saved.rend(); ++it) {
            if (it->second)
                ::setenv(it->first.c_str(), it->second->c_str(), 1);
            else
                ::unsetenv(it->first.c_str());
        }
        ::tzset();
    }
    // A null Value removes the variable.
    void Set(const std::string& Name, const char* Value) {
        const char* old = std::getenv(Name.c_str());
        Saved.emplace_back(Name, old ? std::optional<std::string>(old) : std::nullopt);
        if (Value)
            ::setenv(Name.c_str(), Value, 1);
        else
            ::unsetenv(Name.c_str());
    }

private:
    std::vector<std::pair<std::string, std::optional<std::string>>> Saved;
};

} // namespace testsupport
