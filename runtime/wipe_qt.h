#pragma once

#include "runtime/wipe.h"

#include <QChar>
#include <QString>

#include <cstddef>

namespace cipherloom {

// Zeros the characters in their shared buffer, so every holder loses them. Literals live in
// read-only memory and are never secrets: they are left alone.
inline void WipeInPlace(const QString& text)
{
    if (text.data_ptr().isMutable()) {
        WipeMemory(const_cast<QChar*>(text.constData()),
                   static_cast<std::size_t>(text.size()) * sizeof(QChar));
    }
}

} // namespace cipherloom
