#pragma once

class QCoreApplication;
class QString;

namespace quorvane {

// Loads Qt's own texts (the text boxes' context menus, standard dialogs) in
// Simplified Chinese from `folder` (Qt's translations folder when empty), so
// they speak the language of the windows. False, and nothing changed, when
// the translation is not installed.
bool InstallQtChineseTexts(QCoreApplication& app, const QString& folder);

} // namespace quorvane
