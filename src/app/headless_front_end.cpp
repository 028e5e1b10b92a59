#include "app/headless_front_end.h"

namespace kestrel {

namespace {
// The full-size main window, centred on a 1920 x 1080 screen at 96 dpi (15 twips a pixel).
constexpr double kWidth = 9465, kHeight = 6180;
constexpr double kScreenWidth = 1920 * 15, kScreenHeight = 1080 * 15;
} // namespace

void HeadlessFrontEnd::applyPlacement(const WindowPlacement &p)
{
    m_placement.width = p.width.value_or(kWidth);
    m_placement.height = p.height.value_or(kHeight);
    m_placement.left = p.left.value_or((kScreenWidth - m_placement.width) / 2);
    m_placement.top = p.top.value_or((kScreenHeight - m_placement.height) / 2);
    // Without a window nothing is minimised or maximised; keep what the user had.
    m_placement.windowState = p.windowState.value_or(0);
}

} // namespace kestrel
