#pragma once
// Qt's own texts (the buttons and labels of the standard file dialog and message box, the
// context menus of edit boxes) in Japanese, like the rest of the tool, whatever the system's
// language.
namespace platform {

// Loads Qt's Japanese translations from Qt's translation folder and installs them in the
// application (call once, after the application object exists, before any window). A
// missing or unreadable file is no error: those texts then stay in English. Returns whether
// a translation was installed.
bool installQtTranslations();

} // namespace platform
