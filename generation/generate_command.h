#pragma once

#include "generation/Cipherloom_Main.h"
#include "runtime/runtime_services.h"

#include <string>
#include <string_view>

namespace cipherloom {

inline constexpr std::u16string_view kLengthMissingMessage = u"文字数を入力してください。";
inline constexpr std::u16string_view kLengthNotNumberMessage = u"文字数は数値を入力してください。";
inline constexpr std::u16string_view kLengthOutOfRangeMessage =
    u"文字数は1～32の値を入力してください。";
inline constexpr std::u16string_view kClipboardFailedMessage =
    u"パスワードをクリップボードにコピーできませんでした。";

// What the Generate command needs of the window with the length field and the password label.
class GenerateView
{
public:
    virtual ~GenerateView() = default;

    virtual std::u16string LengthText() const = 0;
    // Never changes the field's text.
    virtual void SetLengthReadOnly(bool readOnly) = 0;
    virtual void ShowPassword(std::string_view password) = 0;

protected:
    GenerateView() = default;
    GenerateView(const GenerateView&) = default;
    GenerateView& operator=(const GenerateView&) = default;
};

// Checks the length, generates with a copy of the settings, shows the password and copies it. A
// refused length shows one message and changes nothing; the field is editable again on return. A
// password that could not reach the clipboard stays shown, and a message says so.
void RunGenerate(GenerateView& view, const GenerationSettings& settings, RuntimeServices& services);

} // namespace cipherloom
