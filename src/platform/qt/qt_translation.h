// Qt's own texts (the standard buttons of every box, the edit menus of text boxes, the
// folder chooser) in the language the program shows, from Qt's shipped translations.
#pragma once

#include <memory>
#include <string>

class QTranslator;

namespace orvix {

class QtTranslation {
public:
    QtTranslation();
    ~QtTranslation();
    QtTranslation(const QtTranslation&) = delete;
    QtTranslation& operator=(const QtTranslation&) = delete;

    // Switches Qt's texts to the language of the code ("fr", "de", ...); "" or "en" keeps
    // Qt's own English. False when no translation of Qt is installed for the code: Qt's
    // texts are then English.
    bool use(const std::string& code);

private:
    std::unique_ptr<QTranslator> m_translator;
    bool m_installed = false;
};

} // namespace orvix
