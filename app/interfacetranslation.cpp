#include "app/interfacetranslation.h"

#include "base/qtcompat.h"

#include <QCoreApplication>

// The translations library's resources, which a static library must register; outside any
// namespace, as Q_INIT_RESOURCE requires.
static void registerCatalogues()
{
    Q_INIT_RESOURCE(translations);
}

InterfaceTranslation::~InterfaceTranslation()
{
    remove();
}

QString InterfaceTranslation::qtCatalogueFolder()
{
    return QtCompat::qtTranslationsPath();
}

QString InterfaceTranslation::qtChineseCatalogue()
{
    // The interface is written in simplified Chinese, so Qt's dialogs are too.
    return QStringLiteral("qtbase_zh_CN");
}

bool InterfaceTranslation::install(Language::Code code)
{
    remove();
    if (code == Language::English) {
        registerCatalogues();
        interfaceInstalled = interface.load(QStringLiteral(":/translations/tavrino_en.qm")) &&
                             QCoreApplication::installTranslator(&interface);
        return interfaceInstalled;
    }
    qtInstalled = qt.load(qtChineseCatalogue(), qtCatalogueFolder()) &&
                  QCoreApplication::installTranslator(&qt);
    return qtInstalled;
}

void InterfaceTranslation::remove()
{
    if (interfaceInstalled)
        QCoreApplication::removeTranslator(&interface);
    if (qtInstalled)
        QCoreApplication::removeTranslator(&qt);
    interfaceInstalled = qtInstalled = false;
}
