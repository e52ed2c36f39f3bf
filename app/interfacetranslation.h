#pragma once

#include "app/language.h"

#include <QTranslator>

// The translators of one language, installed into the running application for as long as
// this object lives: the interface's catalogue (built into the program) and Qt's own texts
// (file dialogs, message box buttons) from Qt's translations folder. Chinese installs none of
// the interface's texts, which are written in Chinese, and Qt's Chinese catalogue; English
// the interface's English catalogue and nothing of Qt's, which speaks English.
class InterfaceTranslation
{
public:
    InterfaceTranslation() = default;
    ~InterfaceTranslation();
    InterfaceTranslation(const InterfaceTranslation &) = delete;
    InterfaceTranslation &operator=(const InterfaceTranslation &) = delete;

    // Removes what an earlier call installed, then installs `code`'s translators. False when a
    // catalogue could not be loaded (Qt's own missing: its dialogs stay in English).
    bool install(Language::Code code);
    void remove();

    // Where Qt's catalogues are looked for, and the one for Chinese in it.
    static QString qtCatalogueFolder();
    static QString qtChineseCatalogue();

private:
    QTranslator interface;
    QTranslator qt;
    bool interfaceInstalled = false;
    bool qtInstalled = false;
};
