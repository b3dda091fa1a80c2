#include "platform/qt/qt_translation.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace orvix {

QtTranslation::QtTranslation() : m_translator(std::make_unique<QTranslator>()) {}

QtTranslation::~QtTranslation() {
    if (m_installed)
        QCoreApplication::removeTranslator(m_translator.get());
}

bool QtTranslation::use(const std::string& code) {
    if (m_installed) {
        QCoreApplication::removeTranslator(m_translator.get());
        m_installed = false;
    }
    if (code.empty() || code == "en")
        return true;
    // Only a bare language code names a file: nothing from a language file becomes a path.
    for (const char c : code) {
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_'))
            return false;
    }
    if (!m_translator->load(QStringLiteral("qtbase_") + QString::fromLatin1(code),
                            QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        return false;
    m_installed = QCoreApplication::installTranslator(m_translator.get());
    return m_installed;
}

} // namespace orvix
