#include "escpos/Profile.h"

namespace escpos {

namespace {

std::vector<Profile> Profiles() {
    // The Korean model starts in double-byte mode with the Korean set, so code page 949 text
    // prints with no command to select it; both models ignore CR, as the serial models do.
    const Profile korean{"korean", 512, true, 13, false, 0x03};
    const Profile standard{"standard", 512, false, 0, false, 0x02};
    Profile korean576 = korean, standard576 = standard;
    korean576.Name = "korean-576";
    korean576.Width = 576;
    standard576.Name = "standard-576";
    standard576.Width = 576;
    return {korean, korean576, standard, standard576};
}

} // namespace

std::optional<Profile> FindProfile(std::string_view Name) {
    for (auto& p : Profiles())
        if (p.Name == Name)
            return p;
    return std::nullopt;
}

std::vector<std::string> ProfileNames() {
    std::vector<std::string> names;
    for (auto& p : Profiles())
        names.push_back(p.Name);
    return names;
}

} // namespace escpos
