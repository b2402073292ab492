#pragma once
// Font set-up: the Windows Japanese face names map to the installed IPA faces, which
// have the same metrics, so layouts and dialog templates naming them render alike.
#include <QString>
#include <utility>
#include <vector>

namespace platform {

// Registers the substitutions with Qt's font database. Call once after the
// QGuiApplication exists; calling again does no harm.
void installFontSubstitutions();

// Makes the Japanese user-interface face ("MS UI Gothic", 9 points = 12 pixels) the
// application's default font, for menus, message boxes and file dialogs. Call after
// installFontSubstitutions().
void installUiFont();

// The Windows face names we map, each with the IPA family that stands in for it
// (UTF-8 literals converted to QString).
const std::vector<std::pair<QString, QString>> &fontSubstitutions();

} // namespace platform
