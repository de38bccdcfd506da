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

// The windows were drawn in twips: 1440 to the inch, so 15 to a pixel at 96 dpi. Qt scales
// logical pixels for high-DPI screens, so the same division holds everywhere.
inline constexpr int kTwipsPerPixel = 15;

inline constexpr int kNoIndex = -1;

// Where a row's control goes; its type says what is made: a label, a text box that takes a whole
// number of at most two characters, one option button of an array (the array's exclusive group,
// whose ids are the Index values), a frame (captioned and bordered, or a bare container with
// kNoBorder), or a push button.
using ControlSlot = std::variant<QLabel**, QLineEdit**, QButtonGroup**, QWidget**, QPushButton**>;

enum class FontRole : std::uint8_t
{
    Normal, // "ＭＳ Ｐゴシック" 12 pt
    Small,  // "ＭＳ Ｐゴシック" 11.25 pt
    Fixed,  // "ＭＳ ゴシック" 12 pt, fixed pitch
};

// Row flags.
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

int ToPixels(int twips);

// Names the Japanese Windows font first, then what other Windows and Linux systems have in its
// place, so every system picks the closest it has.
QFont MakeFont(FontRole role);

// Shrinks the label's font, when needed, until `characters` of the widest printable ASCII
// character fit inside the label: a stand-in fixed-pitch font may run wider than the original.
void FitFontToCharacters(QLabel& label, int characters);

// "数字(&Q)" -> "数字": what a screen reader should say for a caption.
QString WithoutAccessKey(std::u16string_view caption);

// Creates every control of the table inside the window and stores it in the row's slot, with
// geometry, font, caption, accessible name, start state and tab order. A caption that a stand-in
// font makes too wide widens its option button or label to the right, up to the edge of its
// frame or window; buttons act on their access key at once.
void BuildControls(QWidget& window, std::span<const ControlRow> rows);

} // namespace cipherloom::layout
