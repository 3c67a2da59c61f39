#include "app/widgets/QtCzechTexts.h"

#include <QCoreApplication>
#include <QLibraryInfo>

namespace ostrivane::ui {

std::unique_ptr<QTranslator> InstallQtCzechTexts() {
    auto translator = std::make_unique<QTranslator>();
    if (!translator->load(QStringLiteral("qtbase_cs"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath)) ||
        !QCoreApplication::installTranslator(translator.get()))
        return nullptr;
    return translator;
}

} // namespace ostrivane::ui
