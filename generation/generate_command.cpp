#include "generation/generate_command.h"

#include "generation/numeric_entry.h"
#include "generation/password_generator.h"
#include "runtime/wipe.h"

namespace cipherloom {
namespace {

// Every exit path makes the field editable again, after any message has been dismissed.
class ReadOnlyScope final
{
public:
    explicit ReadOnlyScope(GenerateView& view) : m_view(view) { m_view.SetLengthReadOnly(true); }
    ~ReadOnlyScope() { m_view.SetLengthReadOnly(false); }
    ReadOnlyScope(const ReadOnlyScope&) = delete;
    ReadOnlyScope& operator=(const ReadOnlyScope&) = delete;

private:
    GenerateView& m_view;
};

} // namespace

void RunGenerate(GenerateView& view, const GenerationSettings& settings, RuntimeServices& services)
{
    const GenerationSettings snapshot = settings;
    const ReadOnlyScope readOnly(view);

    const std::u16string text = view.LengthText();
    if (IsEmpty(text)) {
        services.MsgBox(kLengthMissingMessage);
        return;
    }
    if (!IsNumeric(text)) {
        services.MsgBox(kLengthNotNumberMessage);
        return;
    }
    const std::int16_t length = NumericValue(text);
    if (length < kMinLength || length > kMaxLength) {
        services.MsgBox(kLengthOutOfRangeMessage);
        return;
    }

    std::string password = GeneratePassword(snapshot, length, services.Random());
    view.ShowPassword(password);
    const bool copied = services.SetClipboardText(password);
    // The command's own copy; the window's and the clipboard's are theirs to wipe.
    WipeMemory(password.data(), password.size());
    if (!copied) {
        services.MsgBox(kClipboardFailedMessage);
    }
}

} // namespace cipherloom
