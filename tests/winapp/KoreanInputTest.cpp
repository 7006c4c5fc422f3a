// Korean input for the drop-down lists: which installed layout is Korean, and that the layout in
// use is given back when the list loses the focus, or left alone where no Korean one is installed.
#include "winapp/KoreanInput.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

HKL Layout(ULONG_PTR Value) {
    return reinterpret_cast<HKL>(Value);
}

TEST(KoreanInput, TheFirstLayoutOfLanguage0412IsKorean) {
    struct Case {
        std::vector<HKL> Installed;
        HKL Expected;
    };
    const Case cases[] = {
        {{}, nullptr},
        {{Layout(0x04090409)}, nullptr},
        {{Layout(0x04090409), Layout(0x04120412)}, Layout(0x04120412)},
        // The input method's layout counts as well as the plain one.
        {{Layout(0xE0010412), Layout(0x04120412)}, Layout(0xE0010412)},
        // A Korean keyboard under another language is not Korean input.
        {{Layout(0x04120409)}, nullptr},
    };
    for (const Case& test : cases)
        EXPECT_EQ(KoreanLayoutAmong(test.Installed), test.Expected);
}

TEST(KoreanInput, FocusGivesBackTheLayoutInUseAndInstallsNothing) {
    const int installed = GetKeyboardLayoutList(0, nullptr);
    std::vector<HKL> layouts(static_cast<std::size_t>(installed));
    GetKeyboardLayoutList(installed, layouts.data());
    const HKL before = GetKeyboardLayout(0);
    const HKL korean = KoreanLayoutAmong(layouts);

    TKoreanInput input;
    input.FocusGained();
    EXPECT_EQ(GetKeyboardLayout(0), korean ? korean : before);
    EXPECT_EQ(GetKeyboardLayoutList(0, nullptr), installed);
    input.FocusLost();
    EXPECT_EQ(GetKeyboardLayout(0), before);
    // A second loss of focus changes nothing.
    input.FocusLost();
    EXPECT_EQ(GetKeyboardLayout(0), before);
}

} // namespace
