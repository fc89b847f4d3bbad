#pragma once

class QCoreApplication;

// The user's language for Saltwick's texts and for Qt's own (the buttons of a message box,
// the file dialog).
namespace Translations {

// Installs the catalogues of the first language in the user's list that Saltwick has. The
// texts are written in English, so a list that names English first gets none at all.
void Install(QCoreApplication &application);

} // namespace Translations
