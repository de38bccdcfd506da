#include "generation/generate_command.h"

#include "generation/numeric_entry.h"
#include "generation/password_generator.h"
#include "runtime/wipe.h"

namespace cipherloom {
namespace {

// The command's own copy of the password; the window's and the clipboard's are theirs to wipe.
void Wipe(std::string& secret)
{
    WipeMemory(secret.data(), secret.size());
    secret.clear();
}

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
    // Replaced in one step: clearing first would let a clipboard manager restore its last entry
    // in between and win the selection from us.
    const bool copied = services.SetClipboardText(password);
    Wipe(password);
    if (!copied) {
        services.MsgBox(kClipboardFailedMessage);
    }
}

} // namespace cipherloom
