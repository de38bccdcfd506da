#pragma once

#include <QString>

#include <cstdint>
#include <span>
#include <string_view>
#include <variant>

class QButtonGroup;
class QFont;
class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

namespace cipherloom::layout {

// Twips: 1440 to the inch, 15 to a logical pixel at 96 dpi, which Qt scales on high-DPI screens.
inline constexpr int kTwipsPerPixel = 15;

inline constexpr int kNoIndex = -1;

// Where a row's control goes; the type says what is made: label, two-digit text box, one option
// button of an array (its group, ids = Index), frame (bare with kNoBorder) or push button.
using ControlSlot = std::variant<QLabel**, QLineEdit**, QButtonGroup**, QWidget**, QPushButton**>;

enum class FontRole : std::uint8_t
{
    Normal, // "ＭＳ Ｐゴシック" 12 pt
    Small,  // "ＭＳ Ｐゴシック" 11.25 pt
    Fixed,  // "ＭＳ ゴシック" 12 pt, fixed pitch
};

inline constexpr unsigned kHidden = 1U << 0;
inline constexpr unsigned kChecked = 1U << 1;
inline constexpr unsigned kDefaultButton = 1U << 2;
inline constexpr unsigned kNoBorder = 1U << 3;
// Single border on the window background, text centred and shown literally.
inline constexpr unsigned kDisplay = 1U << 4;

// One control of a window. Rows are in tab order; a frame's row comes before its contents.
struct ControlRow
{
    std::string_view name;
    ControlSlot control;
    int index; // the Index within its option array, or kNoIndex
    std::u16string_view caption;
    int left; // twips, relative to the parent
    int top;
    int width;
    int height;
    QWidget* const* parent; // a frame made by an earlier row; null for the window itself
    FontRole font;
    unsigned flags;
    std::u16string_view accessibleName; // empty: the caption without its "(&X)"
};

constexpr int ToPixels(int twips)
{
    return (twips + kTwipsPerPixel / 2) / kTwipsPerPixel;
}

// The Japanese Windows font first, then its stand-ins on other Windows and Linux systems.
QFont MakeFont(FontRole role);

// Shrinks the label's font until `characters` of the widest printable ASCII character fit: a
// stand-in fixed-pitch font may run wider than the original.
void FitFontToCharacters(QLabel& label, int characters);

// Creates every control of the table in the window and stores it in the row's slot. A caption
// too wide in a stand-in font widens its option button or label up to its frame's edge.
void BuildControls(QWidget& window, std::span<const ControlRow> rows);

} // namespace cipherloom::layout
