// Korean input while a drop-down list has the focus: the Korean keyboard layout is switched to
// when the list gains the focus and the one before it given back when the list loses it. Only a
// layout the user has installed is used; none is loaded on their behalf.
#pragma once

#include <windows.h>

#include <span>

// The first Korean layout (language 0412, the plain layout or an input method) among Layouts;
// null when there is none.
HKL KoreanLayoutAmong(std::span<const HKL> Layouts);

class TKoreanInput {
public:
    void FocusGained();
    void FocusLost();

private:
    HKL FPrevious = nullptr; // the layout to give back; null while nothing was switched
};
