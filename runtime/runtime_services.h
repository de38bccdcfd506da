#pragma once

#include "runtime/random_source.h"

#include <string_view>

namespace cipherloom {

// Everything the program takes from its surroundings, by reference, so tests can hand a fake.
class RuntimeServices
{
public:
    virtual ~RuntimeServices() = default;

    // Modal box titled with the program's name, one OK button, no icon. Returns once dismissed.
    virtual void MsgBox(std::u16string_view prompt) = 0;
    virtual RandomSource& Random() = 0;
    // Empties the clipboard; false if another program kept it busy past a brief wait.
    [[nodiscard]] virtual bool ClearClipboard() = 0;
    // Replaces the clipboard with plain text in one step; false if not ours after brief retries.
    [[nodiscard]] virtual bool SetClipboardText(std::string_view text) = 0;
    // Ends the program at once: no further window events run.
    virtual void End() = 0;

protected:
    RuntimeServices() = default;
    RuntimeServices(const RuntimeServices&) = default;
    RuntimeServices& operator=(const RuntimeServices&) = default;
};

} // namespace cipherloom
