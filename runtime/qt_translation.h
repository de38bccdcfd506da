#pragma once

class QTranslator;

namespace cipherloom {

// Loads Qt's own Japanese texts (context menus, dialog buttons, key names) into the translator
// and installs it, whatever the system's locale: the whole interface is Japanese. Looks beside
// the program first (translations/, as the Windows and macOS packages ship it), then in Qt's own
// translations folder. Returns false when no translation was found; Qt's texts stay English.
bool InstallQtTranslation(QTranslator& translator);

} // namespace cipherloom
