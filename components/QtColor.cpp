#include "components/QtColor.h"

namespace components {
namespace {

// The system colour indexes in the low byte of a system colour code.
QColor SystemColor(int index, const QPalette& palette) {
    switch (index) {
    case 5: return palette.color(QPalette::Active, QPalette::Base);             // window
    case 8: return palette.color(QPalette::Active, QPalette::WindowText);       // window text
    case 13: return palette.color(QPalette::Active, QPalette::Highlight);       // highlight
    case 14: return palette.color(QPalette::Active, QPalette::HighlightedText); // highlight text
    case 15: return palette.color(QPalette::Active, QPalette::Button);          // button face
    case 18: return palette.color(QPalette::Active, QPalette::ButtonText);      // button text
    default: return palette.color(QPalette::Active, QPalette::WindowText);
    }
}

} // namespace

QColor ToQColor(TColor color, const QPalette& palette) {
    const auto code = static_cast<std::uint32_t>(color);
    if (code & 0x80000000u) return SystemColor(static_cast<int>(code & 0xFFu), palette);
    return QColor(static_cast<int>(code & 0xFFu), static_cast<int>((code >> 8) & 0xFFu),
                  static_cast<int>((code >> 16) & 0xFFu));
}

TColor FromQColor(const QColor& color) {
    return static_cast<TColor>(static_cast<std::uint32_t>(color.red()) |
                               (static_cast<std::uint32_t>(color.green()) << 8) |
                               (static_cast<std::uint32_t>(color.blue()) << 16));
}

} // namespace components
