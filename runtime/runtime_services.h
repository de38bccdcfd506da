#pragma once

#include "runtime/random_source.h"

#include <string_view>

namespace cipherloom {

// Everything the program takes from its surroundings. Windows and the Generate command
// receive it by reference, so tests can hand them a fake.
class RuntimeServices
{
public:
    virtual ~RuntimeServices() = default;

    // Modal box titled with the program's name, one OK button, no icon. Returns once dismissed.
    virtual void MsgBox(std::u16string_view prompt) = 0;
    virtual RandomSource& Random() = 0;
    // Empties the clipboard, whatever it holds. Returns false if another program kept it busy
    // past a brief wait, so the clipboard may still hold what was on it.
    [[nodiscard]] virtual bool ClearClipboard() = 0;
    // Replaces whatever the clipboard holds with text, in the plain text format, in one step.
    // Returns false if the program still does not own the clipboard after a few brief retries.
    [[nodiscard]] virtual bool SetClipboardText(std::string_view text) = 0;
    // Ends the program at once: no further window events run.
    virtual void End() = 0;

protected:
    RuntimeServices() = default;
    RuntimeServices(const RuntimeServices&) = default;
    RuntimeServices& operator=(const RuntimeServices&) = default;
};

} // namespace cipherloom
