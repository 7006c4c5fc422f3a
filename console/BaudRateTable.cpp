#include "console/BaudRateTable.h"

#include <stdexcept>
#include <string>

TBaudRate BaudRateForItem(int ItemIndex) {
    if (ItemIndex < 0 || static_cast<std::size_t>(ItemIndex) >= BaudRateTable.size())
        throw std::out_of_range("no speed for list item " + std::to_string(ItemIndex));
    return BaudRateTable[static_cast<std::size_t>(ItemIndex)];
}
