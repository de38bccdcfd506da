#pragma once

#include <QObject>
#include <QString>

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

class QButtonGroup;
class QFont;
class QLabel;
class QWidget;

namespace cipherloom::layout {

// The windows were drawn in twips: 1440 to the inch, so 15 to a pixel at 96 dpi. Qt scales
// logical pixels for high-DPI screens, so the same division holds everywhere.
inline constexpr int kTwipsPerPixel = 15;

inline constexpr int kNoIndex = -1;

enum class Kind : std::uint8_t
{
    Label,
    NumberField, // a text box that takes a whole number of at most two characters
    OptionButton,
    Frame, // captioned and bordered, or a bare container with kNoBorder
    Button,
};

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
    Kind kind;
    int index; // the Index within its option array, or kNoIndex
    std::u16string_view caption;
    int left; // twips, relative to the parent
    int top;
    int width;
    int height;
    std::string_view parent; // a frame's name; empty for the window itself
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

// The widgets made from one window's table, found again by name and Index.
class Controls final
{
public:
    template <typename T>
    T* Get(std::string_view name, int index = kNoIndex) const
    {
        return CheckedCast<T>(Find(name, index), name);
    }
    // The exclusive group of an option array; its ids are the Index values.
    QButtonGroup* Group(std::string_view name) const;

private:
    friend Controls BuildControls(QWidget& window, std::span<const ControlRow> rows);

    struct Entry
    {
        std::string_view name;
        int index;
        QWidget* widget;
    };
    struct GroupEntry
    {
        std::string_view name;
        QButtonGroup* group;
    };

    template <typename T>
    static T* CheckedCast(QWidget* widget, std::string_view name)
    {
        T* typed = qobject_cast<T*>(widget);
        if (typed == nullptr) {
            FailLookup(name);
        }
        return typed;
    }
    QWidget* Find(std::string_view name, int index) const;
    [[noreturn]] static void FailLookup(std::string_view name);

    std::vector<Entry> m_widgets;
    std::vector<GroupEntry> m_groups;
};

// Creates every control of the table inside the window, with geometry, font, caption,
// accessible name, start state and tab order; option arrays become exclusive button groups.
// A caption that a stand-in font makes too wide widens its option button or label to the right,
// up to the edge of its frame or window; buttons act on their access key at once.
Controls BuildControls(QWidget& window, std::span<const ControlRow> rows);

} // namespace cipherloom::layout
