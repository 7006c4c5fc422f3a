#include "winapp/KoreanInput.h"

#include <vector>

namespace {

constexpr WORD KoreanLanguage = 0x0412;

std::vector<HKL> InstalledLayouts() {
    std::vector<HKL> layouts(static_cast<std::size_t>(GetKeyboardLayoutList(0, nullptr)));
    layouts.resize(static_cast<std::size_t>(
        GetKeyboardLayoutList(static_cast<int>(layouts.size()), layouts.data())));
    return layouts;
}

} // namespace

HKL KoreanLayoutAmong(std::span<const HKL> Layouts) {
    for (HKL layout : Layouts)
        if (LOWORD(reinterpret_cast<ULONG_PTR>(layout)) == KoreanLanguage)
            return layout;
    return nullptr;
}

void TKoreanInput::FocusGained() {
    const std::vector<HKL> layouts = InstalledLayouts();
    HKL korean = KoreanLayoutAmong(layouts);
    HKL current = GetKeyboardLayout(0);
    if (!korean || korean == current)
        return;
    if (ActivateKeyboardLayout(korean, 0))
        FPrevious = current;
}

void TKoreanInput::FocusLost() {
    if (FPrevious)
        ActivateKeyboardLayout(FPrevious, 0);
    FPrevious = nullptr;
}
