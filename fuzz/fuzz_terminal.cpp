// The terminal grid and keyboard rules fed arbitrary received bytes and key
// events, the way the session drives them: the position always stays where
// the next character can be drawn, and every cell stays readable.
#include "fuzz/fuzzinput.h"
#include "terminal/grid.h"
#include "terminal/keyboard.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::Input in(data, size);
    terminal::Grid grid;
    terminal::Keyboard keys;
    int changed = 0;
    grid.onCellChanged = [&](int column, int row) {
        if (column < 1 || column > terminal::kColumns || row < 1 || row > terminal::kRows)
            std::abort();
        ++changed;
    };
    auto apply = [&](const terminal::KeyAction &a) {
        if (a.byte)
            grid.draw(*a.byte, terminal::Ink::Sent);
    };
    while (!in.empty()) {
        switch (in.pick(8)) {
        case 0:
        case 1:
            grid.draw(in.bytes(in.pick(64)), terminal::Ink::Received);
            break;
        case 2:
            apply(keys.keyDown(in.byte()));
            break;
        case 3:
            apply(keys.keyUp(in.byte()));
            break;
        case 4:
            apply(keys.character(in.word()));
            break;
        case 5:
            // Just outside the grid on every side as well.
            grid.setPosition(static_cast<int>(in.pick(terminal::kColumns + 3)),
                             static_cast<int>(in.pick(terminal::kRows + 3)));
            break;
        case 6:
            grid.clear();
            break;
        default: {
            const auto value = terminal::altCodeValue(QString::fromLatin1(in.bytes(in.pick(8))));
            (void)value;
            break;
        }
        }
        if (keys.altDigits().size() > 64)
            std::abort();
    }
    for (int r = 1; r <= terminal::kRows; ++r)
        if (grid.rowText(r).size() < terminal::kColumns)
            std::abort();
    return 0;
}
