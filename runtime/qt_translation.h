#pragma once

class QTranslator;

namespace cipherloom {

// Installs Qt's own Japanese texts whatever the locale, from beside the program first, then Qt's
// folder. Returns false when none was found; Qt's texts stay English.
bool InstallQtTranslation(QTranslator& translator);

} // namespace cipherloom
